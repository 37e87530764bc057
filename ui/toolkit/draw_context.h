#pragma once
// Off-screen painting and a GDI-like drawing context over QPainter, for the
// plots of the live views and the probe window.
//
// COffscreenSurface is the memory bitmap of a control or plot rectangle: the
// plot is drawn into it when the data change, and the paint handler only
// copies it to the window (BlitTo), so a repaint never re-renders the plot.
//
// CDrawContext keeps the drawing state the plots are written against: a
// current position (MoveTo/LineTo), a pen (solid, dotted or none), a brush,
// a mix mode (copy, merge-pen = OR, XOR), a text alignment anchor
// (left/centre/right x top/baseline/bottom), text colour, background mode and
// a text angle for rotated titles. Coordinates are integer pixels; lines and
// rectangles leave out their right/bottom end pixel, so adjoining pieces meet
// without overlap (and XOR drawing does not cancel at the joints).
#include "chart/plot_painter.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QString>
#include <QVector>

#include <memory>
#include <vector>

class COffscreenSurface {
public:
    // Makes the bitmap of that size (device-independent pixels), all black,
    // with devicePixelRatio device pixels to each of them, so that it is drawn
    // at the screen's resolution; an existing one of the same size and ratio
    // is kept as it is. An empty size releases it.
    void Create(QSize size, qreal devicePixelRatio = 1.0);
    bool IsNull() const { return m_image.isNull(); }
    // The size in device-independent pixels.
    QSize Size() const { return m_image.deviceIndependentSize().toSize(); }
    QImage& Image() { return m_image; }
    const QImage& Image() const { return m_image; }
    // Copies the whole bitmap to the painter's device with its top-left
    // corner at topLeft, replacing what is there (a plain source copy).
    void BlitTo(QPainter& painter, QPoint topLeft) const;

    // A bitmap of `size` device-independent pixels at that ratio.
    static QImage MakeImage(QSize size, qreal devicePixelRatio, QImage::Format format);
    // Paints the part of `image` under `rect` (device-independent pixels, the
    // image's own coordinates) at the same place, device pixel for device pixel.
    static void DrawPart(QPainter& painter, const QRect& rect, const QImage& image);

private:
    QImage m_image;
};

// Text anchors and their placement are the chart module's frame painter's.
using TextHAlign = tchart::HAlign;
using TextVAlign = tchart::VAlign;
enum class PenStyle { Solid, Dot, Null };
// How the pen's pixels combine with the surface: replace them, OR into them
// (crossing curves mix on a black background), or XOR (drawing twice removes).
enum class MixMode { CopyPen, MergePen, XorPen };

class CDrawContext {
public:
    // Paints on the device until the context is destroyed.
    explicit CDrawContext(QPaintDevice* device);
    // Uses a painter that is already active (inside a paint handler); the
    // painter's state is restored when the context is destroyed.
    explicit CDrawContext(QPainter& painter);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    QPainter& Painter() { return *m_painter; }

    // A dotted pen draws 3 pixels on, 3 off, whatever its width.
    void SetPen(PenStyle style, int width = 1, const QColor& color = Qt::black);
    void SetBrush(const QColor& color);
    void SetNullBrush();
    void SetMixMode(MixMode mode);
    MixMode GetMixMode() const { return m_state.mix; }

    void SetFont(const QFont& font);
    void SetTextAlign(TextHAlign h, TextVAlign v);
    void SetTextColor(const QColor& color);
    // Transparent: text draws only its glyphs. Opaque (the initial mode):
    // the text's box is first filled with the background colour (white).
    void SetBkTransparent(bool transparent);
    void SetBkColor(const QColor& color);
    // Angle of the text's baseline in degrees, counter-clockwise (90 reads
    // upwards, as a y-axis title). The anchor stays the rotated text's own.
    void SetTextAngle(double degrees);

    // Text anchored at (x, y) by the current alignment.
    void TextOut(int x, int y, const QString& text);
    // The box an unrotated TextOut at (x, y) would cover.
    QRect TextBox(int x, int y, const QString& text) const;

    void MoveTo(int x, int y);
    // A line from the current position to (x, y), without its end pixel; the
    // current position becomes (x, y).
    void LineTo(int x, int y);
    // Lines through the points, as MoveTo to the first and LineTo to the others.
    void Polyline(const QVector<QPoint>& points);
    // Outline with the pen and inside with the brush; the corners are
    // normalised and the right and bottom edges lie one pixel inside.
    void Rectangle(int left, int top, int right, int bottom);
    void FillRect(const QRect& rect, const QColor& color);
    // Limits all further drawing to [left, right) x [top, bottom).
    void SetClipRect(int left, int top, int right, int bottom);
    void ClearClip();

    // Saves and restores the whole drawing state (painter and context).
    void Save();
    void Restore();

private:
    struct State {
        QPoint position;
        MixMode mix = MixMode::CopyPen;
        TextHAlign hAlign = TextHAlign::Left;
        TextVAlign vAlign = TextVAlign::Top;
        QColor textColor = Qt::black;
        QColor bkColor = Qt::white;
        bool bkTransparent = false;
        double textAngle = 0.0;
    };
    void Init();
    // Top-left of the text's box relative to the anchor, and its size.
    QRect TextBoxAt(int x, int y, const QString& text) const;
    void StrokeSegment(QPoint from, QPoint to);

    std::unique_ptr<QPainter> m_ownPainter;
    QPainter* m_painter = nullptr;
    State m_state;
    std::vector<State> m_saved;
};

// A font whose character cell (ascent + descent) is at most cellHeight
// pixels, the way a font is asked for by its cell height.
QFont FontForCellHeight(int cellHeight, const QString& family = QString());
