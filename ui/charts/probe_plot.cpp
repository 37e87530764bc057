#include "ui/charts/probe_plot.h"

#include "app/display_math.h"
#include "chart/plot_painter.h"
#include "chart/polyline.h"
#include "ui/toolkit/draw_context.h"

#include <QCursor>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace {
const QColor kGray(128, 128, 128);
const QColor kLightGray(225, 225, 225);

QString AutoText(double v) { return QString::fromStdString(FormatAutoPrecision(v)); }
}  // namespace

CProbePlotView::CProbePlotView(QWidget* parent) : CCustomControl(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CProbePlotView::SetData(const int32_t* buffer, const uint8_t* valid, int32_t probeCode) {
    m_buffer = buffer;
    m_valid = valid;
    m_code = probeCode;
}

void CProbePlotView::Refresh() {
    m_dirty = true;
    update();
}

void CProbePlotView::OnSize(int width, int height) {
    (void)width;
    (void)height;
    Refresh();
}

bool CProbePlotView::CacheFits() const {
    return m_cache.deviceIndependentSize().toSize() == size() && m_cache.devicePixelRatio() == devicePixelRatioF();
}

void CProbePlotView::Render() {
    if (!CacheFits()) m_cache = COffscreenSurface::MakeImage(size(), devicePixelRatioF(), QImage::Format_RGB32);
    {
        CDrawContext dc(&m_cache);
        m_plot.SetOuterRect({0, 0, width(), height()});
        DrawPlot(dc, m_plot, m_buffer, m_valid, m_code);
    }
    m_dirty = false;
    ++m_renders;
}

void CProbePlotView::DrawPlot(CDrawContext& dc, ProbePlot& plot, const int32_t* buffer, const uint8_t* valid,
                              int32_t probeCode) {
    using tchart::LineStyle;
    dc.Save();
    const PlotRect o = plot.OuterRect();
    dc.FillRect(QRect(o.left, o.top, o.right - o.left, o.bottom - o.top), Qt::white);
    plot.SetOuterRect(o);  // the plot area follows the outer rectangle
    const PlotRect area = plot.Area();
    const tchart::FrameEdges a{area.left, area.top, area.right, area.bottom};
    tchart::PlotPainter pp(dc.Painter());

    // Y grid and labels: the zero line solid, the others dotted.
    if (plot.yTick > 0 && std::isfinite(plot.yMin) && std::isfinite(plot.yMax)) {
        // Counted steps (not repeated addition), so that the loop always ends.
        const int steps = static_cast<int>(std::floor((plot.yMax + 1e-6 - plot.yMin) / plot.yTick));
        for (int k = 0; k <= steps && k <= 1000; ++k) {
            double v = plot.yMin + k * plot.yTick;
            if (v > plot.yMax + 1e-6) break;
            const bool zero = -1e-6 < v && v < 1e-6;
            if (zero) v = 0.0;
            pp.SetPen(kGray, zero ? LineStyle::Solid : LineStyle::Dotted);
            const int y = plot.Y(v);
            if (v > plot.yMin && v < plot.yMax - 1e-6) pp.YGridLine(a, y);
            pp.YLabel(a, y, AutoText(v), Qt::black);
        }
    }

    // X ticks, light grid and labels; labels count from sample 0.
    const int g = plot.LightGridStep();
    for (int i = plot.first; i <= plot.last; ++i) {
        const int x = plot.X(i);
        pp.SetPen(kGray);
        pp.XTick(a, x, i % 10 == 0 ? 5 : 2);
        if (i % g == 0) {
            pp.SetPen(kLightGray, LineStyle::Dotted);
            pp.XGridLine(a, x);
        }
        if (plot.labelInterval > 0 && i % plot.labelInterval == 0) {
            pp.SetPen(kGray, LineStyle::Dotted);
            pp.XGridLine(a, x);
            pp.XLabel(a, x, AutoText(i * plot.xStep), Qt::black);
        }
    }

    if (probeCode != 0 && buffer != nullptr) {
        pp.XTitle(a, QString::fromStdString(plot.xAxisName), Qt::black);
        pp.Caption(a, QString::fromStdString(plot.legend), Qt::black);

        dc.SetClipRect(a.left, a.top, a.right, a.bottom);
        PlotRgb colours[4] = {kDefaultChannelColors[0], kDefaultChannelColors[1], kDefaultChannelColors[2],
                              kDefaultChannelColors[3]};
        ColorsFromLegend(colours, plot.legend.c_str());
        for (int c = 0; c < plot.channels && c < 4; ++c) {
            // A continuous one-pixel curve: the painter's own polyline joins
            // the segments without dropping their end pixels.
            QPen pen(QColor(colours[c].r, colours[c].g, colours[c].b));
            pen.setWidth(1);
            pen.setCosmetic(true);
            dc.Painter().setPen(pen);
            // A missing value leaves a gap instead of a line to zero.
            tchart::GapPolyline line(dc.Painter(), false);
            for (int i = plot.first; i <= plot.last; ++i) {
                const int n = c * plot.samples + i;
                if (n < 0 || n >= kProbeBufferSize || (valid != nullptr && valid[n] == 0)) line.Break();
                else line.Add(QPointF(plot.X(i), plot.Y(buffer[n] * plot.yScale)));
            }
        }
        dc.ClearClip();
    }

    pp.SetPen(kGray);
    pp.Outline(a.left, a.top, a.right, a.bottom);
    dc.Restore();
    plot.SetCross(-1, -1);
}

void CProbePlotView::paintEvent(QPaintEvent* event) {
    if (m_dirty || !CacheFits()) {
        const int x = m_plot.CrossX(), y = m_plot.CrossY();
        Render();
        // The cross-hair stays where the pointer is.
        if (x >= 0 && m_plot.Inside(x, y)) m_plot.SetCross(x, y);
    }
    QPainter p(this);
    // Only the strips asked for: a cross-hair move repaints four thin lines.
    for (const QRect& r : event->region()) COffscreenSurface::DrawPart(p, r, m_cache);
    if (m_plot.CrossShown()) {
        const PlotRect a = m_plot.Area();
        p.setPen(kGray);
        p.drawLine(a.left, m_plot.CrossY(), a.right - 1, m_plot.CrossY());
        p.drawLine(m_plot.CrossX(), a.top, m_plot.CrossX(), a.bottom - 1);
    }
}

void CProbePlotView::UpdateCross(int x, int y) {
    if (x < 0 || y < 0) return;
    const PlotRect a = m_plot.Area();
    update(QRect(a.left, y, a.right - a.left, 1));
    update(QRect(x, a.top, 1, a.bottom - a.top));
}

void CProbePlotView::Track(int x, int y) {
    const int oldX = m_plot.CrossX(), oldY = m_plot.CrossY();
    m_cursorIndex = m_plot.TrackCursor(x, y);
    if (oldX != m_plot.CrossX() || oldY != m_plot.CrossY()) {
        UpdateCross(oldX, oldY);
        UpdateCross(m_plot.CrossX(), m_plot.CrossY());
    }
    SendNotify(NotifyCursor);
}

void CProbePlotView::OnMouseMove(int x, int y, Qt::MouseButtons buttons) {
    (void)buttons;
    Track(x, y);
}

void CProbePlotView::OnMouseLeave() { Track(-1, -1); }

void CProbePlotView::OnLButtonDown(int x, int y) {
    setCursor(Qt::CrossCursor);
    m_pressX = x;
    m_pressY = y;
}

void CProbePlotView::OnLButtonUp(int x, int y) {
    setCursor(Qt::ArrowCursor);
    m_plot.ZoomToSelection(m_pressX, m_pressY, x, y);
    Refresh();
}

void CProbePlotView::OnLButtonDblClk(int x, int y) {
    m_pressX = x;
    m_pressY = y;
    SendNotify(NotifyDoubleClick);
}

void CProbePlotView::OnRButtonDown(int x, int y) {
    (void)x;
    (void)y;
    SendNotify(NotifyRightClick);
}
