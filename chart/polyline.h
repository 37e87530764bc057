#pragma once
// Lines with gaps. A data line is drawn as runs of points that have values:
// a point without one (the no-value marker, or not a number) ends the run, so
// no line is drawn across the gap.
#include "chart/chart_time.h"

#include <QPolygonF>

class QPainter;

namespace tchart {

// A data value that stands for no point: NoValue and above, or not a number.
bool IsNoValue(double v);

// Collects the points of one line and draws each unbroken run as one polyline
// with the painter's current pen. The last run is drawn by Break() or when the
// object goes.
class GapPolyline {
public:
    // A run of a single point is drawn as a dot with lonePoints, else left out.
    GapPolyline(QPainter& painter, bool lonePoints);
    ~GapPolyline();
    GapPolyline(const GapPolyline&) = delete;
    GapPolyline& operator=(const GapPolyline&) = delete;

    void Add(const QPointF& point) { m_run.append(point); }
    // A gap: the run so far is drawn and the next point starts a new one.
    void Break();

private:
    QPainter& m_painter;
    bool m_lonePoints;
    QPolygonF m_run;
};

}  // namespace tchart
