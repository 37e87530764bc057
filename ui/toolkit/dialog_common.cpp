#include "ui/toolkit/dialog_common.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "app/display_math.h"

void CDialogCommon::SetDlgItemDouble(int id, double value, bool valid) {
    if (!valid) {
        SetDlgItemText(id, QString());
        return;
    }
    SetDlgItemText(id, QString::fromStdString(FormatAutoPrecision(value)));
}

QMargins CDialogCommon::FrameMargins() const {
    // The window manager's frame is known once a window has been mapped. A
    // window that has not been shown yet (the usual case: the clamp runs in
    // the initialisation) takes the frame of a shown top-level window, which
    // the same window manager draws alike.
    if (const QWindow* own = windowHandle(); own && isVisible() && !own->frameMargins().isNull())
        return own->frameMargins();
    for (const QWindow* w : QGuiApplication::topLevelWindows())
        if (w->isVisible() && w->type() != Qt::Popup && w->type() != Qt::ToolTip && !w->frameMargins().isNull())
            return w->frameMargins();
    return {};
}

void CDialogCommon::ClampToVirtualScreen(int& x, int& y) const {
    QRect desktop;
    for (const QScreen* s : QGuiApplication::screens()) desktop = desktop.united(s->geometry());
    if (desktop.isEmpty()) return;  // no screen at all: leave the position alone
    // The window's outer rectangle: its size plus the frame around it, since
    // the position is that of the frame's top-left corner.
    const QMargins frame = FrameMargins();
    const int w = width() + frame.left() + frame.right();
    const int h = height() + frame.top() + frame.bottom();
    ClampPosition(x, y, w, h, desktop.x(), desktop.y(), desktop.width(), desktop.height());
    // Without a known frame the window manager may still add one when the
    // window is shown: the clamp is then made again with it.
    m_clampWhenFramed = frame.isNull() && isWindow();
}

bool CDialogCommon::event(QEvent* event) {
    const bool result = CDialog::event(event);
    const QEvent::Type t = event->type();
    if (m_clampWhenFramed && isVisible() && (t == QEvent::Show || t == QEvent::Move || t == QEvent::Resize)) {
        if (!FrameMargins().isNull()) {
            const QPoint at = pos();
            int x = at.x();
            int y = at.y();
            ClampToVirtualScreen(x, y);
            m_clampWhenFramed = false;
            if (QPoint(x, y) != at) move(x, y);
        }
    }
    return result;
}
