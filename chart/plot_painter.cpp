#include "chart/plot_painter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tchart {

QPen FramePen(const QColor& color, LineStyle style, int width) {
    QPen pen(color);
    pen.setWidth(std::max(width, 1));
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::FlatCap);  // lines end before their end point
    if (style == LineStyle::Dotted) {
        // Dash lengths are in pen widths: 3 pixels on, 3 off at width 1.
        const qreal units = 3.0 / pen.width();
        pen.setDashPattern({units, units});
    }
    return pen;
}

void PlotPainter::SetPen(const QColor& color, LineStyle style) { m_p.setPen(FramePen(color, style)); }

void PlotPainter::Line(int x1, int y1, int x2, int y2) {
    if (m_p.pen().style() == Qt::NoPen || (x1 == x2 && y1 == y2)) return;
    m_p.drawLine(x1, y1, x2, y2);
}

void PlotPainter::Outline(int left, int top, int right, int bottom) {
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    if (r - l < 1 || b - t < 1 || m_p.pen().style() == Qt::NoPen) return;
    m_p.save();
    m_p.setBrush(Qt::NoBrush);
    // A one-pixel outline of QRect(l, t, w - 1, h - 1) covers l .. r - 1.
    m_p.drawRect(QRect(l, t, r - l - 1, b - t - 1));
    m_p.restore();
}

QRect PlotPainter::TextBox(int x, int y, const QString& text, HAlign h, VAlign v) const {
    const QFontMetrics fm(m_p.font());
    const int w = fm.horizontalAdvance(text);
    const int height = fm.ascent() + fm.descent();
    int left = x;
    if (h == HAlign::Center) left = x - w / 2;
    else if (h == HAlign::Right) left = x - w;
    int top = y;
    if (v == VAlign::Baseline) top = y - fm.ascent();
    else if (v == VAlign::Bottom) top = y - height;
    return QRect(left, top, w, height);
}

void PlotPainter::Text(int x, int y, const QString& text, HAlign h, VAlign v, const QColor& color, double angle) {
    m_p.save();
    QPoint anchor(x, y);
    if (angle != 0.0) {
        m_p.translate(x, y);
        m_p.rotate(-angle);  // Qt turns clockwise on screen
        anchor = QPoint(0, 0);
    }
    const QRect box = TextBox(anchor.x(), anchor.y(), text, h, v);
    m_p.setPen(color);
    if (m_exactWidth) {
        const Qt::Alignment align =
            h == HAlign::Left ? Qt::AlignLeft : h == HAlign::Right ? Qt::AlignRight : Qt::AlignHCenter;
        m_p.drawText(box, align | Qt::AlignTop | Qt::TextDontClip, text);
    } else {
        m_p.drawText(QPoint(box.left(), box.top() + QFontMetrics(m_p.font()).ascent()), text);
    }
    m_p.restore();
}

}  // namespace tchart
