#pragma once
// The eight shared 13 x 13 indicator lamps (resources 149..156), made once at
// start-up with their white pixels shown in the palette's button colour.
// The application's start-up owns the one instance; pages only borrow them.
#include <QPalette>
#include <QPixmap>
#include <vector>

class IndicatorImages {
public:
    // Creates the images in the order 149, 150, 151, 154, 155, 156, 152, 153.
    explicit IndicatorImages(const QPalette& palette = QPalette());

    // The lamp of that resource id; an empty pixmap for any other id.
    const QPixmap& Get(int resourceId) const;
    // The resource ids in creation order.
    static const std::vector<int>& CreationOrder();
    // The resource path of a lamp id.
    static QString ResourcePath(int resourceId);

private:
    struct Entry {
        int id;
        QPixmap pixmap;
    };
    std::vector<Entry> m_images;
    QPixmap m_none;
};
