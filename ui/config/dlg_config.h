#pragma once
// CDlgConfig: the main window's "Configuration" page (template 146): every device
// parameter on four inner pages, applied and written to the module's flash.
// The page's controls and device work are not built yet: it is a hosted page
// of the right size that offers the operations the main window calls.
#include "ui/toolkit/dialog.h"

class CDlgConfig : public CDialog {
    Q_OBJECT
public:
    enum : int { IDD = 146 };

    explicit CDlgConfig(QWidget* parent = nullptr);
    ~CDlgConfig() override;

    static const DialogTemplate& PageTemplate();

    // Reloads the inner pages from the module, in the order device, filter,
    // calibration, FFT and position (called after a connect).
    void ReloadFromDevice();

    // Number of times each operation ran (the main window's connect sequence is
    // checked against these).
    int reloadCalls = 0;

protected:
    // Enter and Escape inside a page do nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
