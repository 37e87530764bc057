#include "chart/viewport.h"

#include <algorithm>
#include <cmath>

namespace tchart {

namespace {
constexpr double kEps = 1e-12;
bool Horizontal(int axes) { return axes == DirectionHorizontal || axes == DirectionHorizontalVertical; }
bool Vertical(int axes) { return axes == DirectionVertical || axes == DirectionHorizontalVertical; }
}  // namespace

void ViewPortManager::setChartMetrics(const ChartMetrics* metrics) {
    m_hasMetrics = metrics != nullptr;
    if (!metrics) {
        m_left = m_top = m_width = m_height = 0;
        return;
    }
    m_left = metrics->plotLeft;
    m_top = metrics->plotTop;
    m_width = metrics->plotWidth;
    m_height = metrics->plotHeight;
}

void ViewPortManager::commitPendingSyncAxis(XYChart& chart) {
    const ChartMetrics m = chart.getChartMetrics();
    if (!m_xFixed) m_xLo = m.xMin, m_xHi = m.xMax;
    if (!m_yFixed) m_yLo = m.yMin, m_yHi = m.yMax;
}

void ViewPortManager::setFullRange(int axis, double lo, double hi) {
    if (axis == 0) m_xLo = lo, m_xHi = hi, m_xFixed = true;
    else m_yLo = lo, m_yHi = hi, m_yFixed = true;
}

double ViewPortManager::valueAtViewPort(int axis, double ratio) const {
    if (axis == 0) return m_xLo + (m_vpLeft + ratio * m_vpWidth) * (m_xHi - m_xLo);
    // Top 0 is the highest values: the bottom of the view is 1 - (top + height).
    return m_yLo + (1 - m_vpTop - m_vpHeight + ratio * m_vpHeight) * (m_yHi - m_yLo);
}

bool ViewPortManager::SetViewPort(double left, double top, double width, double height) {
    width = std::clamp(width, std::min(m_minWidth, 1.0), std::min(m_maxWidth, 1.0));
    height = std::clamp(height, std::min(m_minHeight, 1.0), std::min(m_maxHeight, 1.0));
    left = std::clamp(left, 0.0, 1.0 - width);
    top = std::clamp(top, 0.0, 1.0 - height);
    const bool changed = std::fabs(left - m_vpLeft) > kEps || std::fabs(top - m_vpTop) > kEps ||
                         std::fabs(width - m_vpWidth) > kEps || std::fabs(height - m_vpHeight) > kEps;
    m_vpLeft = left;
    m_vpTop = top;
    m_vpWidth = width;
    m_vpHeight = height;
    return changed;
}

void ViewPortManager::validateViewPort() { SetViewPort(m_vpLeft, m_vpTop, m_vpWidth, m_vpHeight); }

bool ViewPortManager::inPlotArea(int x, int y) const {
    return m_hasMetrics && x >= m_left && x < m_left + m_width && y >= m_top && y < m_top + m_height;
}

bool ViewPortManager::inExtendedPlotArea(int x, int y) const {
    const int e = extendedMargin();
    return m_hasMetrics && x >= m_left - e && x < m_left + m_width + e && y >= m_top - e &&
           y < m_top + m_height + e;
}

bool ViewPortManager::canZoomIn(int axes) const {
    const bool h = m_vpWidth > m_minWidth + kEps, v = m_vpHeight > m_minHeight + kEps;
    if (axes == DirectionHorizontal) return h;
    if (axes == DirectionVertical) return v;
    return h || v;
}

bool ViewPortManager::canZoomOut(int axes) const {
    const double maxW = std::min(m_maxWidth, 1.0), maxH = std::min(m_maxHeight, 1.0);
    const bool h = m_vpWidth < maxW - kEps, v = m_vpHeight < maxH - kEps;
    if (axes == DirectionHorizontal) return h;
    if (axes == DirectionVertical) return v;
    return h || v;
}

bool ViewPortManager::zoomAround(int x, int y, double xFactor, double yFactor) {
    if (m_width <= 0 || m_height <= 0 || xFactor <= 0 || yFactor <= 0) return false;
    const double fx = std::clamp((x - m_left) / static_cast<double>(m_width), 0.0, 1.0);
    const double fy = std::clamp((y - m_top) / static_cast<double>(m_height), 0.0, 1.0);
    double w = std::clamp(m_vpWidth / xFactor, std::min(m_minWidth, 1.0), std::min(m_maxWidth, 1.0));
    double h = std::clamp(m_vpHeight / yFactor, std::min(m_minHeight, 1.0), std::min(m_maxHeight, 1.0));
    // The data point under the pointer stays under it.
    const double left = m_vpLeft + fx * (m_vpWidth - w);
    const double top = m_vpTop + fy * (m_vpHeight - h);
    return SetViewPort(left, top, w, h);
}

bool ViewPortManager::zoomAt(int axes, int x, int y, double factor) {
    return zoomAround(x, y, Horizontal(axes) ? factor : 1.0, Vertical(axes) ? factor : 1.0);
}

bool ViewPortManager::zoomTo(int axes, int x0, int y0, int x1, int y1) {
    if (m_width <= 0 || m_height <= 0) return false;
    double left = m_vpLeft, top = m_vpTop, w = m_vpWidth, h = m_vpHeight;
    if (Horizontal(axes)) {
        const double a = std::clamp((std::min(x0, x1) - m_left) / static_cast<double>(m_width), 0.0, 1.0);
        const double b = std::clamp((std::max(x0, x1) - m_left) / static_cast<double>(m_width), 0.0, 1.0);
        const double nw = std::max((b - a) * m_vpWidth, m_minWidth);
        left = m_vpLeft + (a + b) / 2 * m_vpWidth - nw / 2;  // a box below the limit is widened about its centre
        w = nw;
    }
    if (Vertical(axes)) {
        const double a = std::clamp((std::min(y0, y1) - m_top) / static_cast<double>(m_height), 0.0, 1.0);
        const double b = std::clamp((std::max(y0, y1) - m_top) / static_cast<double>(m_height), 0.0, 1.0);
        const double nh = std::max((b - a) * m_vpHeight, m_minHeight);
        top = m_vpTop + (a + b) / 2 * m_vpHeight - nh / 2;
        h = nh;
    }
    return SetViewPort(left, top, w, h);
}

void ViewPortManager::startDrag() {
    m_dragLeft = m_vpLeft;
    m_dragTop = m_vpTop;
}

bool ViewPortManager::dragTo(int axes, int dx, int dy) {
    if (m_width <= 0 || m_height <= 0) return false;
    double left = m_vpLeft, top = m_vpTop;
    if (Horizontal(axes)) left = m_dragLeft - dx * m_vpWidth / m_width;
    if (Vertical(axes)) top = m_dragTop - dy * m_vpHeight / m_height;
    return SetViewPort(left, top, m_vpWidth, m_vpHeight);
}

}  // namespace tchart
