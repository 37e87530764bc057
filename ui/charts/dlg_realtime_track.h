#pragma once
// CDlgRealtimeTrack: the real-time chart window (template 136): seven quantities charted live as x, y, z curves.
// Built here: the window-level behaviour of CToolWindow, with the placement
// keys "chartSx", "chartSy", "chartDx" and "chartDy". Its controls and device work are not
// built yet.
#include "ui/toolkit/tool_window.h"

class CDlgRealtimeTrack : public CToolWindow {
    Q_OBJECT
public:
    enum : int { IDD = 136 };

    CDlgRealtimeTrack();
    ~CDlgRealtimeTrack() override;

    static const DialogTemplate& WindowTemplate();

protected:
    Placement PlacementKeys() const override;
};
