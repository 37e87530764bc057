#pragma once
// The viewport: which part of the full data range is in view, as fractions
// of it (left, top, width, height in 0..1; top 0 is the highest values). The
// chart viewer feeds it the plot area of the displayed chart and asks it to
// zoom and drag in chart pixel coordinates.
#include "chart/xy_chart.h"

namespace tchart {

// Axes for zooming and dragging: 0 horizontal, 1 vertical, 2 both.
enum : int { DirectionHorizontal = 0, DirectionVertical = 1, DirectionHorizontalVertical = 2 };

class ViewPortManager {
public:
    ViewPortManager() = default;

    // The laid-out geometry of the displayed chart, or null when there is none.
    void setChartMetrics(const ChartMetrics* metrics);
    bool hasChartMetrics() const { return m_hasMetrics; }
    // Takes the new chart's x and y scales as the full ranges the viewport
    // maps onto (until setFullRange fixes them).
    void commitPendingSyncAxis(XYChart& chart);
    void setFullRange(int axis, double lo, double hi);  // axis: 0 x, 1 y
    double fullRangeLo(int axis) const { return axis == 0 ? m_xLo : m_yLo; }
    double fullRangeHi(int axis) const { return axis == 0 ? m_xHi : m_yHi; }
    // The value at a fraction of the viewport (0 = left or bottom, 1 = right or top).
    double valueAtViewPort(int axis, double ratio) const;

    // Keeps the viewport inside 0..1 and within the zoom limits.
    void validateViewPort();

    bool inPlotArea(int x, int y) const;
    // The plot area grown by extendedMargin() pixels on each side (pointer
    // near the plot edges still counts).
    bool inExtendedPlotArea(int x, int y) const;
    int extendedMargin() const { return 5; }
    int getPlotAreaLeft() const { return m_left; }
    int getPlotAreaTop() const { return m_top; }
    int getPlotAreaWidth() const { return m_width; }
    int getPlotAreaHeight() const { return m_height; }

    double getViewPortLeft() const { return m_vpLeft; }
    double getViewPortTop() const { return m_vpTop; }
    double getViewPortWidth() const { return m_vpWidth; }
    double getViewPortHeight() const { return m_vpHeight; }
    void setViewPortLeft(double v) { m_vpLeft = v; }
    void setViewPortTop(double v) { m_vpTop = v; }
    void setViewPortWidth(double v) { m_vpWidth = v; }
    void setViewPortHeight(double v) { m_vpHeight = v; }
    // Smallest and largest viewport sizes (defaults 0.01 and 1).
    void setZoomInWidthLimit(double v) { m_minWidth = v; }
    void setZoomInHeightLimit(double v) { m_minHeight = v; }
    void setZoomOutWidthLimit(double v) { m_maxWidth = v; }
    void setZoomOutHeightLimit(double v) { m_maxHeight = v; }

    bool canZoomIn(int axes) const;
    bool canZoomOut(int axes) const;
    // Zooms by factor (> 1 in, < 1 out) keeping the point under (x, y) in place.
    bool zoomAt(int axes, int x, int y, double factor);
    // Zooms to the rectangle between two chart pixel positions.
    bool zoomTo(int axes, int x0, int y0, int x1, int y1);
    bool zoomAround(int x, int y, double xFactor, double yFactor);
    void startDrag();
    // Moves the viewport so that the content follows the pointer by (dx, dy) pixels since startDrag.
    bool dragTo(int axes, int dx, int dy);

private:
    bool SetViewPort(double left, double top, double width, double height);

    bool m_hasMetrics = false;
    int m_left = 0, m_top = 0, m_width = 0, m_height = 0;
    double m_vpLeft = 0, m_vpTop = 0, m_vpWidth = 1, m_vpHeight = 1;
    double m_minWidth = 0.01, m_minHeight = 0.01, m_maxWidth = 1, m_maxHeight = 1;
    double m_dragLeft = 0, m_dragTop = 0;
    double m_xLo = 0, m_xHi = 0, m_yLo = 0, m_yHi = 0;
    bool m_xFixed = false, m_yFixed = false;
};

}  // namespace tchart
