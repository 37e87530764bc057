#include "ui/toolkit/dialog_common.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/display_math.h"

void CDialogCommon::SetDlgItemDouble(int id, double value, bool valid) {
    if (!valid) {
        SetDlgItemText(id, QString());
        return;
    }
    SetDlgItemText(id, QString::fromStdString(FormatAutoPrecision(value)));
}

void CDialogCommon::ClampToVirtualScreen(int& x, int& y) const {
    QRect desktop;
    for (const QScreen* s : QGuiApplication::screens()) desktop = desktop.united(s->geometry());
    if (desktop.isEmpty()) return;  // no screen at all: leave the position alone
    // The window's rectangle including its frame, as the window manager sees it.
    const QRect frame = frameGeometry();
    const int w = frame.isValid() ? frame.width() : width();
    const int h = frame.isValid() ? frame.height() : height();
    ClampPosition(x, y, w, h, desktop.x(), desktop.y(), desktop.width(), desktop.height());
}
