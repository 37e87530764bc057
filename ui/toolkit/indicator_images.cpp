#include "ui/toolkit/indicator_images.h"

#include <QImage>

const std::vector<int>& IndicatorImages::CreationOrder() {
    static const std::vector<int> order{149, 150, 151, 154, 155, 156, 152, 153};
    return order;
}

QString IndicatorImages::ResourcePath(int resourceId) {
    return QStringLiteral(":/lamps/lamp_%1.png").arg(resourceId);
}

IndicatorImages::IndicatorImages(const QPalette& palette) {
    const QRgb face = palette.color(QPalette::Button).rgb();
    for (int id : CreationOrder()) {
        QImage img(ResourcePath(id));
        if (!img.isNull()) {
            // One colour mapping, as a mapped bitmap does: pure white becomes the button face.
            img = img.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < img.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int x = 0; x < img.width(); ++x)
                    if ((line[x] & 0xFFFFFFu) == 0xFFFFFFu) line[x] = face;
            }
        }
        m_images.push_back({id, QPixmap::fromImage(img)});
    }
}

const QPixmap& IndicatorImages::Get(int resourceId) const {
    for (const Entry& e : m_images)
        if (e.id == resourceId) return e.pixmap;
    return m_none;
}
