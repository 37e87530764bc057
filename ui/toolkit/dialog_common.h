#pragma once
// Common base of most dialogs: shows floating-point device values and keeps a
// remembered window position on the screen.
#include <QMargins>

#include "ui/toolkit/dialog.h"

class CDialogCommon : public CDialog {
    Q_OBJECT
public:
    using CDialog::CDialog;
    ~CDialogCommon() override = default;

    // Sets the item's text to the value with automatic precision, or to the
    // empty string when valid is false (the device read failed).
    void SetDlgItemDouble(int id, double value, bool valid);
    // Adjusts a top-left screen position so that this window, at its current
    // frame size, lies on the virtual desktop (all screens together).
    // The rectangle counts the window frame (FrameMargins); when the frame is
    // not known yet, the shown window is clamped again as soon as it is.
    void ClampToVirtualScreen(int& x, int& y) const;

protected:
    // The window manager's frame around this window; before the window is
    // first shown, that of another shown top-level window; none without one.
    virtual QMargins FrameMargins() const;
    bool event(QEvent* event) override;

private:
    // The last clamp knew no frame: clamp again once the shown window has one.
    mutable bool m_clampWhenFramed = false;
};
