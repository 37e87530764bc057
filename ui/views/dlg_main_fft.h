#pragma once
// CDlgMainFft: the main window's "Frequency" page (template 164): the module's FFT peaks and
// compressed spectra.
// The page's controls and device work are not built yet: it is a hosted page
// of the right size that offers the operations the main window calls.
#include "ui/toolkit/dialog_common.h"

class CDlgMainFft : public CDialogCommon {
    Q_OBJECT
public:
    enum : int { IDD = 164 };

    explicit CDlgMainFft(QWidget* parent = nullptr);
    ~CDlgMainFft() override;

    static const DialogTemplate& PageTemplate();

    // Reads the page's source selection back from the module (called after a connect).
    void RefreshSource();

    // Number of times each operation ran (the main window's connect sequence is
    // checked against these).
    int reloadCalls = 0;

protected:
    // Enter and Escape inside a page do nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
