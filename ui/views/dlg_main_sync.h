#pragma once
// CDlgMainSync: the main window's "Sync. data" page (template 157): the module's
// synchronous data lines, shown and recorded to a file.
// The page's controls and device work are not built yet: it is a hosted page
// of the right size that offers the operations the main window calls.
#include "ui/toolkit/dialog.h"

class CDlgMainSync : public CDialog {
    Q_OBJECT
public:
    enum : int { IDD = 157 };

    explicit CDlgMainSync(QWidget* parent = nullptr);
    ~CDlgMainSync() override;

    static const DialogTemplate& PageTemplate();

    // Shows the module's sync configuration (called after a connect).
    void ShowConfiguration();
    // Closes the record file when one is open (called before the main window closes).
    void CloseExportFile();
    bool HasOpenExportFile() const { return false; }
    int closeCalls = 0;

    // Number of times each operation ran (the main window's connect sequence is
    // checked against these).
    int reloadCalls = 0;

protected:
    // Enter and Escape inside a page do nothing.
    void OnOK() override {}
    void OnCancel() override {}
};
