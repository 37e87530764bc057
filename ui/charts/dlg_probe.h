#pragma once
// CDlgProbe: a modeless window titled "Probe Dialog" that fetches a block of sensor
// samples from the module's buffers and plots it (template 161).
// Built here: the window itself. It is created once without a parent (a
// top-level window), restores its remembered placement (kept on the virtual
// screen), stores it into "bplotSx", "bplotSy", "bplotDx" and "bplotDy" whenever it is
// moved, resized or hidden, keeps at least 500 x 300 pixels, and Enter,
// Escape and the close box hide it instead of destroying it.
// Its controls and device work are not built yet.
#include "ui/main/dialog_common.h"

class CDlgProbe : public CDialogCommon {
    Q_OBJECT
public:
    enum : int { IDD = 161, kMinWidth = 500, kMinHeight = 300 };

    CDlgProbe();
    ~CDlgProbe() override;

    static const DialogTemplate& WindowTemplate();

protected:
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
