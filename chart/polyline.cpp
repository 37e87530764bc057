#include "chart/polyline.h"

#include <QPainter>

#include <cmath>

namespace tchart {

bool IsNoValue(double v) { return v >= NoValue || std::isnan(v); }

GapPolyline::GapPolyline(QPainter& painter, bool lonePoints) : m_painter(painter), m_lonePoints(lonePoints) {}

GapPolyline::~GapPolyline() { Break(); }

void GapPolyline::Break() {
    if (m_run.size() >= 2) m_painter.drawPolyline(m_run);
    else if (m_run.size() == 1 && m_lonePoints) m_painter.drawPoint(m_run.front());
    m_run.clear();
}

}  // namespace tchart
