#pragma once
// CDlgProbe: a modeless window titled "Probe Dialog" that fetches a block of sensor samples from the module's buffers and plots it (template 161).
// Built here: the window-level behaviour of CToolWindow, with the placement
// keys "bplotSx", "bplotSy", "bplotDx" and "bplotDy". Its controls and device work are not
// built yet.
#include "ui/toolkit/tool_window.h"

class CDlgProbe : public CToolWindow {
    Q_OBJECT
public:
    enum : int { IDD = 161 };

    CDlgProbe();
    ~CDlgProbe() override;

    static const DialogTemplate& WindowTemplate();

protected:
    Placement PlacementKeys() const override;
};
