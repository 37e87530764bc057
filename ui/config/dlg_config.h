#pragma once
// CDlgConfig: the main window's "Configuration" page (template 146). It hosts
// the Device, Filter, Calibration and FFT && Position pages in its own tab
// control and sends the module the commands that act on its whole
// configuration: factory default, restart, and write to flash after the
// pages have applied their values. Beside them: saving the configuration to
// a file, loading one to compare and apply a selection of it, and a backup of
// the module's configuration before anything overwrites it.
#include "ui/toolkit/dialog.h"

#include <QString>

#include <functional>
#include <vector>

class CTabDialog;
class CDlgConfigAhrs;
class CDlgConfigFilter;
class CDlgConfigCalib;
class CDlgConfigFft;
class CDlgConfigCompare;
struct CompareRow;

class CDlgConfig : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 146,
        IDC_TAB = 1089,
        IDC_FACTORY_DEFAULT = 1024,
        IDC_RESTART = 1025,
        IDC_FLASH_WRITE = 1106,
        IDB_TAB_STRIP = 159,
        TIMER_BUTTONS = 1000,
        BUTTONS_PERIOD_MS = 300,
        kPageCount = 4,
        // Blocking waits after each command, so the module has acted on it
        // before anything reads it back.
        WAIT_FLASH_WRITE_MS = 500,
        WAIT_FACTORY_DEFAULT_MS = 300,
        WAIT_RESTART_MS = 1000,
        // Configuration files, in the free corner of the tab row, and the
        // outcome of the last backup in the free space of the button row.
        IDC_SAVE_FILE = 1411,
        IDC_LOAD_FILE = 1412,
        IDC_BACKUP_NOTE = 1413,
    };
    static constexpr const char* kFactoryQuestion =
        "It will set all configurations to factory default.\r\nWould you like to continue?";

    explicit CDlgConfig(QWidget* parent = nullptr);
    ~CDlgConfig() override;

    static const DialogTemplate& PageTemplate();

    // Reloads the inner pages from the module, in the order device, filter,
    // calibration (marks cleared, full read), FFT and position. Used after a
    // factory default and a flash write, and by the main window after a connect.
    void ReloadFromDevice();

    void OnTimer(int id) override;
    void OnCommand(int id) override;

    // The Yes/No question before a factory default: true for Yes. The default
    // asks in a message box with the question icon; tests answer here.
    std::function<bool(const QString& question)> askYesNo;

    CTabDialog* TabHost() const { return m_tabs; }
    CDlgConfigAhrs* AhrsPage() const { return m_pageAhrs; }
    CDlgConfigFilter* FilterPage() const { return m_pageFilter; }
    CDlgConfigCalib* CalibPage() const { return m_pageCalib; }
    CDlgConfigFft* FftPage() const { return m_pageFft; }
    // The window "Compare Configuration" of the last load (null before one).
    CDlgConfigCompare* CompareWindow() const { return m_compare; }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;

private:
    void EnableButtons(bool enable);
    void FactoryDefault();
    void RestartDevice();
    void ApplyAndFlashWrite();
    // Writes a command to object 0x06 (while connected), then waits for the
    // module to act on it; the wait happens also without a connection.
    void SendCommand(int32_t command, int waitMs);
    // Saves the module's configuration before a command overwrites it; the
    // outcome goes to the note beside the buttons, and the command runs in
    // any case.
    void Backup();
    void SaveToFile();
    void LoadFromFile();
    void ApplySelected(const std::vector<CompareRow>& rows);

    CTabDialog* m_tabs = nullptr;
    CDlgConfigAhrs* m_pageAhrs = nullptr;
    CDlgConfigFilter* m_pageFilter = nullptr;
    CDlgConfigCalib* m_pageCalib = nullptr;
    CDlgConfigFft* m_pageFft = nullptr;
    bool m_buttonsEnabled = false;  // the state the timer last gave the three buttons
    CDlgConfigCompare* m_compare = nullptr;
    QString m_lastFile;  // the configuration file last saved or loaded
};
