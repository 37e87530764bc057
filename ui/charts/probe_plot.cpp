#include "ui/charts/probe_plot.h"

#include "app/display_math.h"
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

void CProbePlotView::Render() {
    if (m_cache.size() != size()) m_cache = QImage(size(), QImage::Format_RGB32);
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
    dc.Save();
    const PlotRect o = plot.OuterRect();
    dc.FillRect(QRect(o.left, o.top, o.right - o.left, o.bottom - o.top), Qt::white);
    plot.SetOuterRect(o);  // the plot area follows the outer rectangle
    const PlotRect a = plot.Area();

    // Y grid and labels: the zero line solid, the others dotted.
    dc.SetBkTransparent(true);
    dc.SetTextColor(Qt::black);
    dc.SetTextAlign(TextHAlign::Right, TextVAlign::Bottom);
    if (plot.yTick > 0 && std::isfinite(plot.yMin) && std::isfinite(plot.yMax)) {
        // Counted steps (not repeated addition), so that the loop always ends.
        const int steps = static_cast<int>(std::floor((plot.yMax + 1e-6 - plot.yMin) / plot.yTick));
        for (int k = 0; k <= steps && k <= 1000; ++k) {
            double v = plot.yMin + k * plot.yTick;
            if (v > plot.yMax + 1e-6) break;
            if (-1e-6 < v && v < 1e-6) {
                v = 0.0;
                dc.SetPen(PenStyle::Solid, 1, kGray);
            } else {
                dc.SetPen(PenStyle::Dot, 1, kGray);
            }
            const int y = plot.Y(v);
            if (v > plot.yMin && v < plot.yMax - 1e-6) {
                dc.MoveTo(a.left - 2, y);
                dc.LineTo(a.right, y);
            }
            dc.TextOut(a.left - 5, y + 8, AutoText(v));
        }
    }

    // X ticks, light grid and labels; labels count from sample 0.
    dc.SetTextAlign(TextHAlign::Center, TextVAlign::Top);
    const int g = plot.LightGridStep();
    for (int i = plot.first; i <= plot.last; ++i) {
        const int x = plot.X(i);
        dc.SetPen(PenStyle::Solid, 1, kGray);
        dc.MoveTo(x, a.bottom);
        dc.LineTo(x, a.bottom + (i % 10 == 0 ? 5 : 2));
        if (i % g == 0) {
            dc.SetPen(PenStyle::Dot, 1, kLightGray);
            dc.MoveTo(x, a.bottom - 2);
            dc.LineTo(x, a.top + 1);
        }
        if (plot.labelInterval > 0 && i % plot.labelInterval == 0) {
            dc.SetPen(PenStyle::Dot, 1, kGray);
            dc.MoveTo(x, a.bottom - 2);
            dc.LineTo(x, a.top + 1);
            dc.TextOut(x, a.bottom + 5, AutoText(i * plot.xStep));
        }
    }

    if (probeCode != 0 && buffer != nullptr) {
        dc.SetTextAlign(TextHAlign::Right, TextVAlign::Top);
        dc.TextOut(a.right, a.bottom + 22, QString::fromStdString(plot.xAxisName));
        dc.SetTextAlign(TextHAlign::Left, TextVAlign::Top);
        dc.TextOut(a.left, a.bottom + 22, QString::fromStdString(plot.legend));

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
            // One polyline per run of values that were read: a missing value
            // leaves a gap instead of a line to zero.
            QVector<QPoint> run;
            auto flush = [&] {
                if (run.size() > 1) dc.Painter().drawPolyline(run.constData(), static_cast<int>(run.size()));
                run.clear();
            };
            for (int i = plot.first; i <= plot.last; ++i) {
                const int n = c * plot.samples + i;
                if (n < 0 || n >= kProbeBufferSize || (valid != nullptr && valid[n] == 0)) {
                    flush();
                    continue;
                }
                run.append(QPoint(plot.X(i), plot.Y(buffer[n] * plot.yScale)));
            }
            flush();
        }
        dc.ClearClip();
    }

    dc.SetPen(PenStyle::Solid, 1, kGray);
    dc.SetNullBrush();
    dc.Rectangle(a.left, a.top, a.right, a.bottom);
    dc.Restore();
    plot.SetCross(-1, -1);
}

void CProbePlotView::paintEvent(QPaintEvent* event) {
    if (m_dirty || m_cache.size() != size()) {
        const int x = m_plot.CrossX(), y = m_plot.CrossY();
        Render();
        // The cross-hair stays where the pointer is.
        if (x >= 0 && m_plot.Inside(x, y)) m_plot.SetCross(x, y);
    }
    QPainter p(this);
    // Only the strips asked for: a cross-hair move repaints four thin lines.
    for (const QRect& r : event->region()) p.drawImage(r.topLeft(), m_cache, r);
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
