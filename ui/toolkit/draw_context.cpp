#include "ui/toolkit/draw_context.h"

#include <QFontMetrics>

#include <algorithm>

void COffscreenSurface::Create(QSize size, qreal devicePixelRatio) {
    if (size.isEmpty()) {
        m_image = QImage();
        return;
    }
    if (!m_image.isNull() && Size() == size && m_image.devicePixelRatio() == devicePixelRatio) return;
    m_image = MakeImage(size, devicePixelRatio, QImage::Format_RGB32);
    m_image.fill(Qt::black);
}

QImage COffscreenSurface::MakeImage(QSize size, qreal devicePixelRatio, QImage::Format format) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QImage image(QSize(qRound(size.width() * ratio), qRound(size.height() * ratio)), format);
    image.setDevicePixelRatio(ratio);
    return image;
}

void COffscreenSurface::DrawPart(QPainter& painter, const QRect& rect, const QImage& image) {
    const qreal r = image.devicePixelRatio();
    if (r == 1.0) {
        painter.drawImage(rect.topLeft(), image, rect);
        return;
    }
    painter.drawImage(QRectF(rect), image, QRectF(rect.x() * r, rect.y() * r, rect.width() * r, rect.height() * r));
}

void COffscreenSurface::BlitTo(QPainter& painter, QPoint topLeft) const {
    if (m_image.isNull()) return;
    const QPainter::CompositionMode old = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(topLeft, m_image);
    painter.setCompositionMode(old);
}

CDrawContext::CDrawContext(QPaintDevice* device) : m_ownPainter(std::make_unique<QPainter>(device)) {
    m_painter = m_ownPainter.get();
    Init();
}

CDrawContext::CDrawContext(QPainter& painter) : m_painter(&painter) {
    m_painter->save();
    Init();
}

CDrawContext::~CDrawContext() {
    // A Save left open must not shift the borrowed painter's own state.
    while (!m_saved.empty()) Restore();
    if (!m_ownPainter) m_painter->restore();
}

void CDrawContext::Init() {
    // The initial state of a fresh device context: black solid pen, white
    // brush, copy mode, opaque white text background, black text.
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    SetPen(PenStyle::Solid, 1, Qt::black);
    SetBrush(Qt::white);
    SetMixMode(MixMode::CopyPen);
}

void CDrawContext::SetPen(PenStyle style, int width, const QColor& color) {
    if (style == PenStyle::Null) {
        m_painter->setPen(Qt::NoPen);
        return;
    }
    // The plots' frame pen: lines end before their end point, dots are 3 on, 3 off.
    m_painter->setPen(
        tchart::FramePen(color, style == PenStyle::Dot ? tchart::LineStyle::Dotted : tchart::LineStyle::Solid, width));
}

void CDrawContext::SetBrush(const QColor& color) { m_painter->setBrush(color); }
void CDrawContext::SetNullBrush() { m_painter->setBrush(Qt::NoBrush); }

void CDrawContext::SetMixMode(MixMode mode) {
    m_state.mix = mode;
    switch (mode) {
    case MixMode::CopyPen: m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver); break;
    case MixMode::MergePen: m_painter->setCompositionMode(QPainter::RasterOp_SourceOrDestination); break;
    case MixMode::XorPen: m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination); break;
    }
}

void CDrawContext::SetFont(const QFont& font) { m_painter->setFont(font); }

void CDrawContext::SetTextAlign(TextHAlign h, TextVAlign v) {
    m_state.hAlign = h;
    m_state.vAlign = v;
}

void CDrawContext::SetTextColor(const QColor& color) { m_state.textColor = color; }
void CDrawContext::SetBkTransparent(bool transparent) { m_state.bkTransparent = transparent; }
void CDrawContext::SetBkColor(const QColor& color) { m_state.bkColor = color; }
void CDrawContext::SetTextAngle(double degrees) { m_state.textAngle = degrees; }

QRect CDrawContext::TextBoxAt(int x, int y, const QString& text) const {
    return tchart::PlotPainter(*m_painter).TextBox(x, y, text, m_state.hAlign, m_state.vAlign);
}

QRect CDrawContext::TextBox(int x, int y, const QString& text) const { return TextBoxAt(x, y, text); }

void CDrawContext::TextOut(int x, int y, const QString& text) {
    QPainter& p = *m_painter;
    if (!m_state.bkTransparent) {
        // The text's box first, turned with the text about its anchor.
        p.save();
        p.translate(x, y);
        p.rotate(-m_state.textAngle);  // Qt turns clockwise on screen
        p.fillRect(TextBoxAt(0, 0, text), m_state.bkColor);
        p.restore();
    }
    tchart::PlotPainter(p).Text(x, y, text, m_state.hAlign, m_state.vAlign, m_state.textColor, m_state.textAngle);
}

void CDrawContext::MoveTo(int x, int y) { m_state.position = QPoint(x, y); }

void CDrawContext::StrokeSegment(QPoint from, QPoint to) {
    if (m_painter->pen().style() == Qt::NoPen || from == to) return;
    // A one-pixel cosmetic pen with a flat cap leaves out the end point.
    m_painter->drawLine(from, to);
}

void CDrawContext::LineTo(int x, int y) {
    const QPoint to(x, y);
    StrokeSegment(m_state.position, to);
    m_state.position = to;
}

void CDrawContext::Polyline(const QVector<QPoint>& points) {
    if (points.isEmpty()) return;
    const QPoint saved = m_state.position;
    MoveTo(points.front().x(), points.front().y());
    for (int i = 1; i < points.size(); ++i) LineTo(points[i].x(), points[i].y());
    m_state.position = saved;  // a polyline leaves the current position alone
}

void CDrawContext::Rectangle(int left, int top, int right, int bottom) {
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    if (r - l < 1 || b - t < 1) return;
    QPainter& p = *m_painter;
    if (p.brush().style() != Qt::NoBrush) p.fillRect(QRect(l, t, r - l, b - t), p.brush());
    if (p.pen().style() == Qt::NoPen) return;
    tchart::PlotPainter(p).Outline(l, t, r, b);
}

void CDrawContext::FillRect(const QRect& rect, const QColor& color) { m_painter->fillRect(rect, color); }

void CDrawContext::SetClipRect(int left, int top, int right, int bottom) {
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    m_painter->setClipRect(QRect(l, t, r - l, b - t));
}

void CDrawContext::ClearClip() { m_painter->setClipping(false); }

void CDrawContext::Save() {
    m_painter->save();
    m_saved.push_back(m_state);
}

void CDrawContext::Restore() {
    if (m_saved.empty()) return;
    m_painter->restore();
    m_state = m_saved.back();
    m_saved.pop_back();
}

QFont FontForCellHeight(int cellHeight, const QString& family) {
    QFont f;
    if (!family.isEmpty()) f.setFamily(family);
    int px = std::max(cellHeight, 1);
    f.setPixelSize(px);
    while (px > 1 && QFontMetrics(f).ascent() + QFontMetrics(f).descent() > cellHeight) {
        --px;
        f.setPixelSize(px);
    }
    return f;
}
