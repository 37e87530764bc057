// Draws the toolkit's artwork into PNG files (our own pictures):
//   icons/app_128.png (48 x 48; resource 128), icons/app_128_16.png, icons/app_128_32.png
//   icons/play_130.png, icons/pause_132.png (20 x 20)
//   lamps/lamp_149.png .. lamps/lamp_156.png (13 x 13, white background)
//   strips/main_tabs_160.png (5 cells of 16 x 16), strips/config_tabs_159.png (7 cells)
//   cursors/zoom_in.png, zoom_out.png, no_zoom.png, drag_h.png, drag_v.png,
//   drag_both.png (32 x 32, black on transparent, hot spot (15, 15))
// Strips and lamps have white backgrounds: white is their transparent colour.
// Usage: make_artwork OUTPUT_DIR   (e.g. resources)
// Build: target make_artwork of resources/CMakeLists.txt (not built by default).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cstdio>

namespace {

QString g_out;  // output folder (program-local)

bool Save(const QImage& img, const QString& rel) {
    const QString path = g_out + QLatin1Char('/') + rel;
    QDir().mkpath(QFileInfo(path).path());
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage Canvas(int w, int h, const QColor& fill) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

// The app icon: a dark module plate with an attitude horizon and a heading arrow.
QImage AppIcon(int s) {
    QImage img = Canvas(s, s, Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal k = s / 48.0;
    p.setPen(QPen(QColor(20, 30, 45), 2 * k));
    p.setBrush(QColor(40, 70, 120));
    p.drawRoundedRect(QRectF(2 * k, 2 * k, 44 * k, 44 * k), 8 * k, 8 * k);
    QPainterPath ground;
    ground.moveTo(6 * k, 30 * k);
    ground.lineTo(42 * k, 20 * k);
    ground.lineTo(42 * k, 40 * k);
    ground.lineTo(6 * k, 40 * k);
    ground.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 100, 50));
    p.drawPath(ground);
    p.setPen(QPen(Qt::white, 2.5 * k));
    p.drawLine(QPointF(6 * k, 30 * k), QPointF(42 * k, 20 * k));
    QPainterPath arrow;
    arrow.moveTo(24 * k, 6 * k);
    arrow.lineTo(30 * k, 18 * k);
    arrow.lineTo(24 * k, 15 * k);
    arrow.lineTo(18 * k, 18 * k);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 200, 40));
    p.drawPath(arrow);
    return img;
}

QImage Play() {
    QImage img = Canvas(20, 20, Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath t;
    t.moveTo(5, 3);
    t.lineTo(17, 10);
    t.lineTo(5, 17);
    t.closeSubpath();
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(30, 180, 40));
    p.drawPath(t);
    return img;
}

QImage Pause() {
    QImage img = Canvas(20, 20, Qt::transparent);
    QPainter p(&img);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(70, 70, 80));
    p.drawRect(QRectF(4.5, 3.5, 4, 13));
    p.drawRect(QRectF(11.5, 3.5, 4, 13));
    return img;
}

QImage Lamp(const QColor& body) {
    QImage img = Canvas(13, 13, Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(body.darker(200), 1));
    p.setBrush(body);
    p.drawEllipse(QRectF(1.5, 1.5, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(body.lighter(160));
    p.drawEllipse(QRectF(3.5, 3.5, 3, 3));
    return img;
}

// One 16 x 16 cell of a strip, drawn by a function of the painter.
template <class Draw> void Cell(QPainter& p, int index, Draw draw) {
    p.save();
    p.translate(index * 16, 0);
    p.setClipRect(0, 0, 16, 16);
    draw(p);
    p.restore();
}

void DrawModule(QPainter& p) {
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.setBrush(QColor(50, 90, 150));
    p.drawRect(2, 4, 11, 8);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(13, 6, 2, 4);  // connector
    p.setPen(QColor(255, 210, 0));
    p.drawPoint(5, 7);
}

void DrawSpectrum(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 200));
    const int h[] = {4, 11, 7, 13, 5, 9, 3};
    for (int i = 0; i < 7; ++i) p.drawRect(1 + i * 2, 15 - h[i], 1, h[i]);
    p.setPen(QColor(40, 40, 40));
    p.drawLine(0, 15, 15, 15);
}

void DrawSync(QPainter& p) {
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(QColor(240, 240, 220));
    p.drawRect(2, 1, 11, 13);
    p.setPen(QColor(60, 60, 160));
    for (int y = 4; y <= 11; y += 3) p.drawLine(4, y, 11, y);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRectF(9.5, 10.5, 5, 5));
}

void DrawGear(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 100));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(i * 45);
        p.drawRect(QRectF(-1.5, -7.5, 3, 4));
        p.restore();
    }
    p.drawEllipse(QPointF(8, 8), 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 2, 2);
}

void DrawWave(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 60, 20), 1.3));
    QPainterPath w;
    w.moveTo(0, 8);
    for (int x = 1; x <= 15; ++x) w.lineTo(x, 8 - 6 * qSin(x * 0.9) * (1.0 - x / 22.0));
    p.drawPath(w);
}

void DrawFilterCurve(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 130, 60), 1.5));
    QPainterPath c;
    c.moveTo(1, 4);
    c.lineTo(7, 4);
    c.cubicTo(10, 4, 11, 13, 15, 14);
    p.drawPath(c);
    p.setPen(QColor(60, 60, 60));
    p.drawLine(0, 15, 15, 15);
    p.drawLine(0, 0, 0, 15);
}

void DrawTarget(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(190, 20, 20), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
    p.drawEllipse(QPointF(8, 8), 2.5, 2.5);
    p.drawLine(8, 0, 8, 15);
    p.drawLine(0, 8, 15, 8);
}

void DrawPin(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pin;
    pin.addEllipse(QPointF(8, 6), 4.5, 4.5);
    QPainterPath tip;
    tip.moveTo(4, 8);
    tip.lineTo(8, 15);
    tip.lineTo(12, 8);
    tip.closeSubpath();
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(220, 40, 40));
    p.drawPath(pin.united(tip));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 6), 1.5, 1.5);
}

void DrawChartCurve(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(60, 60, 60));
    p.drawLine(1, 14, 15, 14);
    p.drawLine(1, 1, 1, 14);
    p.setPen(QPen(QColor(30, 80, 200), 1.3));
    QPainterPath c;
    c.moveTo(2, 11);
    c.cubicTo(6, 2, 9, 14, 15, 3);
    p.drawPath(c);
}

QImage Strip(int cells) {
    QImage img = Canvas(16 * cells, 16, Qt::white);
    return img;
}

// Cursors: black outline with white fill so they show on any background.
QImage CursorCanvas() { return Canvas(32, 32, Qt::transparent); }

void Magnifier(QPainter& p, int sign) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QPoint(15, 15), 8, 8);
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(21, 21, 29, 29);
    p.setPen(QPen(Qt::black, 2));
    if (sign != 0) p.drawLine(11, 15, 19, 15);
    if (sign > 0) p.drawLine(15, 11, 15, 19);
}

QImage ZoomCursor(int sign) {
    QImage img = CursorCanvas();
    QPainter p(&img);
    Magnifier(p, sign);
    return img;
}

QImage NoZoomCursor() {
    QImage img = CursorCanvas();
    QPainter p(&img);
    Magnifier(p, 0);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(10, 10, 20, 20);
    return img;
}

void ArrowHead(QPainter& p, QPoint tip, int dx, int dy) {
    QPolygon head;
    head << tip << QPoint(tip.x() - dx * 5 - dy * 4, tip.y() - dy * 5 - dx * 4)
         << QPoint(tip.x() - dx * 5 + dy * 4, tip.y() - dy * 5 + dx * 4);
    p.drawPolygon(head);
}

QImage DragCursor(bool horizontal, bool vertical) {
    QImage img = CursorCanvas();
    QPainter p(&img);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::black);
    if (horizontal) {
        p.drawLine(4, 15, 26, 15);
        ArrowHead(p, QPoint(27, 15), 1, 0);
        ArrowHead(p, QPoint(3, 15), -1, 0);
    }
    if (vertical) {
        p.drawLine(15, 4, 15, 26);
        ArrowHead(p, QPoint(15, 27), 0, 1);
        ArrowHead(p, QPoint(15, 3), 0, -1);
    }
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_artwork OUTPUT_DIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= Save(AppIcon(48), QStringLiteral("icons/app_128.png"));
    ok &= Save(AppIcon(32), QStringLiteral("icons/app_128_32.png"));
    ok &= Save(AppIcon(16), QStringLiteral("icons/app_128_16.png"));
    ok &= Save(Play(), QStringLiteral("icons/play_130.png"));
    ok &= Save(Pause(), QStringLiteral("icons/pause_132.png"));

    struct LampDef { int id; QColor c; } lamps[] = {
        {149, QColor(150, 150, 150)}, {150, QColor(0, 110, 0)},  {151, QColor(40, 230, 40)},
        {152, QColor(0, 110, 0)},     {153, QColor(40, 230, 40)}, {154, QColor(50, 50, 50)},
        {155, QColor(120, 0, 0)},     {156, QColor(250, 40, 40)},
    };
    for (const LampDef& l : lamps) ok &= Save(Lamp(l.c), QStringLiteral("lamps/lamp_%1.png").arg(l.id));

    {
        QImage img = Strip(5);
        QPainter p(&img);
        Cell(p, 0, DrawModule);
        Cell(p, 1, DrawSpectrum);
        Cell(p, 2, DrawSync);
        Cell(p, 3, DrawGear);
        Cell(p, 4, DrawWave);
        p.end();
        ok &= Save(img, QStringLiteral("strips/main_tabs_160.png"));
    }
    {
        QImage img = Strip(7);
        QPainter p(&img);
        Cell(p, 0, DrawModule);
        Cell(p, 1, DrawFilterCurve);
        Cell(p, 2, DrawTarget);
        Cell(p, 3, DrawPin);
        Cell(p, 4, DrawSpectrum);
        Cell(p, 5, DrawChartCurve);
        // cell 6 stays empty (white)
        p.end();
        ok &= Save(img, QStringLiteral("strips/config_tabs_159.png"));
    }
    ok &= Save(ZoomCursor(+1), QStringLiteral("cursors/zoom_in.png"));
    ok &= Save(ZoomCursor(-1), QStringLiteral("cursors/zoom_out.png"));
    ok &= Save(NoZoomCursor(), QStringLiteral("cursors/no_zoom.png"));
    ok &= Save(DragCursor(true, false), QStringLiteral("cursors/drag_h.png"));
    ok &= Save(DragCursor(false, true), QStringLiteral("cursors/drag_v.png"));
    ok &= Save(DragCursor(true, true), QStringLiteral("cursors/drag_both.png"));
    return ok ? 0 : 1;
}
