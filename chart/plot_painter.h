#pragma once
// Drawing of plot frames in integer pixels: grid lines, ticks, tick labels,
// axis titles and frame outlines. The line charts, the plots of the live
// pages and the probe plot all draw their frames with it.
//
// Lines leave out their end pixel (a one-pixel cosmetic pen with a flat cap),
// so pieces that meet do not overlap; a dotted pen draws 3 pixels on, 3 off.
// Text is placed by an anchor point and the alignment of its box, which is as
// wide as the text's advance and as high as the font's ascent plus descent.
#include <QColor>
#include <QPen>
#include <QRect>
#include <QString>

class QPainter;

namespace tchart {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Baseline, Bottom };
enum class LineStyle { Solid, Dotted };

// A pen for frame lines: cosmetic, flat cap, at least one pixel wide.
QPen FramePen(const QColor& color, LineStyle style = LineStyle::Solid, int width = 1);

// The data area of a plot by its edges, in the layout the live pages and the
// probe plot share: y labels and ticks on the left, x ticks, x labels and the
// x title below.
struct FrameEdges {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class PlotPainter {
public:
    explicit PlotPainter(QPainter& painter) : m_p(painter) {}

    // Text starts at its box's left edge (the default), or with exactWidth is
    // aligned inside the box by the glyph run's exact, fractional width, so a
    // right-aligned label ends exactly at its anchor (the line charts' labels).
    void SetExactTextWidth(bool exactWidth) { m_exactWidth = exactWidth; }

    void SetPen(const QColor& color, LineStyle style = LineStyle::Solid);
    // From (x1, y1) towards (x2, y2), without the end pixel.
    void Line(int x1, int y1, int x2, int y2);
    // The outline of [left, right) x [top, bottom) with the current pen.
    void Outline(int left, int top, int right, int bottom);

    // The box of the text anchored at (x, y), in the painter's font.
    QRect TextBox(int x, int y, const QString& text, HAlign h, VAlign v) const;
    // The text's glyphs only (no background); angle in degrees counter-clockwise
    // about the anchor (90 reads upwards), the alignment then the turned text's own.
    void Text(int x, int y, const QString& text, HAlign h, VAlign v, const QColor& color, double angle = 0.0);

    // Scale marks of a frame with the current pen.
    // A y grid line from 2 pixels left of the area to its right edge.
    void YGridLine(const FrameEdges& a, int y) { Line(a.left - 2, y, a.right, y); }
    // An x tick of that length down from the bottom edge.
    void XTick(const FrameEdges& a, int x, int length) { Line(x, a.bottom, x, a.bottom + length); }
    // An x grid line from 2 pixels above the bottom edge to just below the top.
    void XGridLine(const FrameEdges& a, int x) { Line(x, a.bottom - 2, x, a.top + 1); }
    // A y label with its right-bottom corner at (left - 5, y + 8), level with its line.
    void YLabel(const FrameEdges& a, int y, const QString& text, const QColor& color) {
        Text(a.left - 5, y + 8, text, HAlign::Right, VAlign::Bottom, color);
    }
    // An x label centred under its tick.
    void XLabel(const FrameEdges& a, int x, const QString& text, const QColor& color) {
        Text(x, a.bottom + 5, text, HAlign::Center, VAlign::Top, color);
    }
    // The x title under the right end of the axis; a caption under its left end.
    void XTitle(const FrameEdges& a, const QString& text, const QColor& color) {
        Text(a.right, a.bottom + 22, text, HAlign::Right, VAlign::Top, color);
    }
    void Caption(const FrameEdges& a, const QString& text, const QColor& color) {
        Text(a.left, a.bottom + 22, text, HAlign::Left, VAlign::Top, color);
    }

private:
    QPainter& m_p;
    bool m_exactWidth = false;
};

}  // namespace tchart
