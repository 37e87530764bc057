// Draws the four module textures of the 3D attitude view into PNG files:
//   top.png (200 x 200), bottom.png (200 x 200),
//   connector_side.png (200 x 65), plain_side.png (200 x 65).
// Usage: make_textures OUTPUT_DIR   (e.g. resources/textures)
// Build: target make_textures of resources/CMakeLists.txt (not built by default).
// The top picture's upper edge is the module's +x axis and its left edge +y;
// its axis legend says so.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const QColor kPlate(38, 42, 48);
const QColor kPlateEdge(70, 76, 86);
const QColor kMetal(180, 182, 186);
const QColor kText(230, 230, 230);

QImage Blank(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(kPlate);
    return img;
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, const QString& label, QPointF labelAt) {
    p.setPen(QPen(c, 3));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF a = line;
    a.setLength(9);
    a.setAngle(line.angle() + 25);
    QLineF b = line;
    b.setLength(9);
    b.setAngle(line.angle() - 25);
    p.drawLine(a);
    p.drawLine(b);
    p.drawText(QRectF(labelAt.x() - 10, labelAt.y() - 10, 20, 20), Qt::AlignCenter, label);
}

QImage Top() {
    QImage img = Blank(200, 200);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPlateEdge, 4));
    p.drawRect(2, 2, 196, 196);
    // Four corner holes.
    p.setPen(QPen(kMetal, 2));
    p.setBrush(QColor(10, 10, 12));
    for (QPointF c : {QPointF(16, 16), QPointF(184, 16), QPointF(16, 184), QPointF(184, 184)})
        p.drawEllipse(c, 8, 8);
    // Two screw heads.
    p.setBrush(kMetal);
    for (QPointF c : {QPointF(150, 60), QPointF(50, 150)}) {
        p.setPen(QPen(QColor(120, 120, 124), 1));
        p.drawEllipse(c, 7, 7);
        p.setPen(QPen(QColor(60, 60, 64), 2));
        p.drawLine(c + QPointF(-5, 0), c + QPointF(5, 0));
        p.drawLine(c + QPointF(0, -5), c + QPointF(0, 5));
    }
    // Product marking.
    p.setPen(kText);
    QFont f("Sans Serif");
    f.setPixelSize(26);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(20, 82, 160, 30), Qt::AlignCenter, QStringLiteral("Tarvik"));
    f.setPixelSize(14);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRectF(20, 112, 160, 20), Qt::AlignCenter, QStringLiteral("KV-TQM-v1"));
    // Axis legend: x towards the top edge, y towards the left edge, z out of the face.
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    const QPointF o(150, 170);
    Arrow(p, o, o + QPointF(0, -36), QColor(230, 60, 60), QStringLiteral("x"), o + QPointF(10, -36));
    Arrow(p, o, o + QPointF(-36, 0), QColor(60, 200, 60), QStringLiteral("y"), o + QPointF(-36, -12));
    p.setPen(QPen(QColor(80, 120, 240), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(o, 6, 6);
    p.setBrush(QColor(80, 120, 240));
    p.drawEllipse(o, 2, 2);
    p.drawText(QRectF(o.x() + 6, o.y() + 2, 20, 16), Qt::AlignCenter, QStringLiteral("z"));
    return img;
}

QImage Bottom() {
    QImage img = Blank(200, 200);
    QPainter p(&img);
    p.setPen(QPen(kPlateEdge, 4));
    p.drawRect(2, 2, 196, 196);
    return img;
}

QImage ConnectorSide() {
    QImage img = Blank(200, 65);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Pin header: a black strip with gold pins.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(15, 15, 15));
    p.drawRect(18, 22, 96, 22);
    p.setBrush(QColor(212, 175, 55));
    for (int i = 0; i < 8; ++i)
        p.drawRect(22 + i * 12, 29, 6, 8);
    // Micro-USB socket: a metal trapezoid with a dark mouth.
    QPainterPath socket;
    socket.moveTo(134, 24);
    socket.lineTo(182, 24);
    socket.lineTo(178, 42);
    socket.lineTo(138, 42);
    socket.closeSubpath();
    p.setBrush(kMetal);
    p.drawPath(socket);
    p.setBrush(QColor(20, 20, 22));
    p.drawRect(141, 29, 34, 8);
    return img;
}

QImage PlainSide() {
    QImage img = Blank(200, 65);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(kPlateEdge.lighter(140));
    p.drawRect(0, 0, 14, 65);
    p.drawRect(186, 0, 14, 65);
    return img;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const struct {
        const char* name;
        QImage image;
    } pictures[] = {{"top.png", Top()},
                    {"bottom.png", Bottom()},
                    {"connector_side.png", ConnectorSide()},
                    {"plain_side.png", PlainSide()}};
    for (const auto& pic : pictures) {
        const QString path = dir.filePath(QString::fromLatin1(pic.name));
        if (!pic.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
