#include "ui/toolkit/tool_window.h"

#include <algorithm>

#include <QHideEvent>
#include <QMoveEvent>
#include <QResizeEvent>

CToolWindow::CToolWindow(const DialogTemplate& tmpl) : CDialogCommon(tmpl, nullptr) {}

bool CToolWindow::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    // Resizable, but never below its minimum width and 300 pixels high.
    const int minWidth = std::max<int>(MinimumWidth(), kMinWidth);
    setMinimumSize(minWidth, kMinHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    const Placement keys = PlacementKeys();
    if (keys.x != nullptr) {
        // The remembered size first, so that the clamp keeps the window as
        // it will be shown on the screen; the limited position goes back
        // into the settings.
        resize(std::max<int>(*keys.width, minWidth), std::max<int>(*keys.height, kMinHeight));
        int x = *keys.x;
        int y = *keys.y;
        ClampToVirtualScreen(x, y);
        *keys.x = x;
        *keys.y = y;
        move(x, y);
    } else if (width() < minWidth) {
        resize(minWidth, height());
    }
    m_placed = true;
    return true;
}

// Enter, Escape and the close box only hide the window.
void CToolWindow::OnOK() { hide(); }
void CToolWindow::OnCancel() { hide(); }

void CToolWindow::OnDestroy() {
    StorePlacement();
    CDialogCommon::OnDestroy();
}

void CToolWindow::StorePlacement() {
    const Placement keys = PlacementKeys();
    if (!m_placed || keys.x == nullptr) return;
    *keys.x = pos().x();
    *keys.y = pos().y();
    *keys.width = size().width();
    *keys.height = size().height();
}

void CToolWindow::moveEvent(QMoveEvent* event) {
    CDialogCommon::moveEvent(event);
    if (isVisible()) StorePlacement();
}

void CToolWindow::resizeEvent(QResizeEvent* event) {
    CDialogCommon::resizeEvent(event);
    if (isVisible()) StorePlacement();
}

void CToolWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) StorePlacement();
    CDialogCommon::hideEvent(event);
}
