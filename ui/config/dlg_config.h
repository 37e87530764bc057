#pragma once
// CDlgConfig: the main window's "Configuration" page (template 146). It hosts
// the Device, Filter, Calibration and FFT && Position pages in its own tab
// control and sends the module the commands that act on its whole
// configuration: factory default, restart, and write to flash after the
// pages have applied their values.
#include "ui/toolkit/dialog.h"

#include <QString>

#include <functional>

class CTabDialog;
class CDlgConfigAhrs;
class CDlgConfigFilter;
class CDlgConfigCalib;
class CDlgConfigFft;

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
    // Whether the last "Apply && Flash Write" wrote every value and then the flash.
    bool LastFlashWriteDone() const { return m_lastFlashWriteDone; }
    // Number of reloads (the main window's connect sequence is checked against it).
    int reloadCalls = 0;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter and Escape inside a page do nothing.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void EnableButtons(bool enable);
    void FactoryDefault();
    void RestartDevice();
    void ApplyAndFlashWrite();
    // Writes a command to object 0x06 and, when it went out, waits for the
    // module to act on it. False without a connection or an acknowledgement.
    bool SendCommand(int32_t command, int waitMs);

    CTabDialog* m_tabs = nullptr;
    CDlgConfigAhrs* m_pageAhrs = nullptr;
    CDlgConfigFilter* m_pageFilter = nullptr;
    CDlgConfigCalib* m_pageCalib = nullptr;
    CDlgConfigFft* m_pageFft = nullptr;
    bool m_buttonsEnabled = false;  // the state the timer last gave the three buttons
    bool m_lastFlashWriteDone = false;
};
