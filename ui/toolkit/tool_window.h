#pragma once
// CToolWindow: what the two floating tool windows (chart, probe) share at
// window level. Each is created once without a parent (a top-level window),
// restores its remembered placement (kept on the virtual screen), stores it
// into its four settings keys whenever it is moved, resized or hidden, keeps at
// least 500 x 300 pixels, and Enter, Escape and the close box hide it instead of
// destroying it.
#include "ui/toolkit/dialog_common.h"

class CToolWindow : public CDialogCommon {
    Q_OBJECT
public:
    enum : int { kMinWidth = 500, kMinHeight = 300 };

    // The settings fields that hold the window's left, top, width and height.
    struct Placement {
        int* x;
        int* y;
        int* width;
        int* height;
    };

protected:
    explicit CToolWindow(const DialogTemplate& tmpl);
    // Null fields while there is no settings record.
    virtual Placement PlacementKeys() const = 0;
    // The narrowest the window may be (at least kMinWidth); known once the
    // controls exist.
    virtual int MinimumWidth() const { return kMinWidth; }

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void StorePlacement();
    bool m_placed = false;  // placement restored; storing is allowed from then on
};
