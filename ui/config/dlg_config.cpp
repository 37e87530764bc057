#include "ui/config/dlg_config.h"

#include "app/app_ini.h"
#include "device/object_dictionary.h"
#include "ui/config/config_io.h"
#include "ui/config/dlg_config_ahrs.h"
#include "ui/config/dlg_config_calib.h"
#include "ui/config/dlg_config_fft.h"
#include "ui/config/dlg_config_filter.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/tab_dialog.h"

#include <QPixmap>

#include <chrono>
#include <thread>

namespace {

constexpr const char* kTabStripResource = ":/strips/config_tabs_159.png";

const ControlDef kControls146[] = {
    {CDlgConfig::IDC_TAB, ControlKind::Tab, "", 7, 7, 335, 339, CS_TABSTOP},
    {CDlgConfig::IDC_FACTORY_DEFAULT, ControlKind::PushButton, "Factory default (fd)", 7, 349, 89, 14, CS_TABSTOP},
    {CDlgConfig::IDC_RESTART, ControlKind::PushButton, "Restart device (rd)", 105, 349, 81, 14, CS_TABSTOP},
    {CDlgConfig::IDC_FLASH_WRITE, ControlKind::PushButton, "Apply && Flash Write", 261, 349, 81, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate146{CDlgConfig::IDD, "", 350, 370, true, kControls146,
                                  int(sizeof(kControls146) / sizeof(kControls146[0]))};

}  // namespace

const DialogTemplate& CDlgConfig::PageTemplate() { return kTemplate146; }

CDlgConfig::CDlgConfig(QWidget* parent) : CDialog(kTemplate146, parent) {
    // The program's Yes/No box, modal to this window only: the tool windows keep taking input.
    askYesNo = [this](const QString& q) { return AskYesNo(this, q); };
}

CDlgConfig::~CDlgConfig() {
    DestroyWindow();  // the window's destruction, when it has not happened yet
    delete m_tabs;    // deletes the pages
}

bool CDlgConfig::OnInitDialog() {
    CDialog::OnInitDialog();
    m_tabs = new CTabDialog();
    m_tabs->Attach(this, IDC_TAB);
    m_tabs->SetImageList(QPixmap(QString::fromLatin1(kTabStripResource)));

    m_pageAhrs = new CDlgConfigAhrs(this);
    m_pageFilter = new CDlgConfigFilter(this);
    m_pageCalib = new CDlgConfigCalib(this);
    m_pageFft = new CDlgConfigFft(this);
    m_tabs->AddTab(QStringLiteral("Device"), m_pageAhrs, CDlgConfigAhrs::IDD, 0);
    m_tabs->AddTab(QStringLiteral("Filter"), m_pageFilter, CDlgConfigFilter::IDD, 1);
    m_tabs->AddTab(QStringLiteral("Calibration"), m_pageCalib, CDlgConfigCalib::IDD, 2);
    m_tabs->AddTab(QStringLiteral("FFT && Position"), m_pageFft, CDlgConfigFft::IDD, 4);
    // The tab host sizes its tab row and puts each page into the display area.

    const int stored = g_pAppIni ? g_pAppIni->configTabSel : 0;
    const int sel = CTabDialog::ClampSelection(stored, m_tabs->PageCount());
    m_tabs->SetCurSel(sel);
    m_tabs->SelectTab(sel);

    // The buttons follow the connection from the start, not only once a
    // connection has come and gone.
    m_buttonsEnabled = cfgio::Connected();
    EnableButtons(m_buttonsEnabled);
    SetTimer(TIMER_BUTTONS, BUTTONS_PERIOD_MS);
    return true;
}

void CDlgConfig::OnDestroy() {
    KillTimer(TIMER_BUTTONS);
    if (m_tabs && g_pAppIni) g_pAppIni->configTabSel = m_tabs->CurrentPage();
    if (m_tabs) m_tabs->DestroyPages();
    CDialog::OnDestroy();
}

void CDlgConfig::EnableButtons(bool enable) {
    EnableDlgItem(IDC_FACTORY_DEFAULT, enable);
    EnableDlgItem(IDC_RESTART, enable);
    EnableDlgItem(IDC_FLASH_WRITE, enable);
}

void CDlgConfig::OnTimer(int id) {
    if (id == TIMER_BUTTONS) {
        const bool connected = cfgio::Connected();
        if (connected != m_buttonsEnabled) {
            EnableButtons(connected);
            m_buttonsEnabled = connected;
        }
    }
    CDialog::OnTimer(id);
}

void CDlgConfig::OnCommand(int id) {
    switch (id) {
    case IDC_FACTORY_DEFAULT: FactoryDefault(); break;
    case IDC_RESTART: RestartDevice(); break;
    case IDC_FLASH_WRITE: ApplyAndFlashWrite(); break;
    default: break;
    }
    CDialog::OnCommand(id);
}

bool CDlgConfig::SendCommand(int32_t command, int waitMs) {
    if (!cfgio::Connected()) return false;  // nothing went out: nothing to wait for
    const bool ok = cfgio::WriteInt32(od::OBJ_COMMAND, command);
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    return ok;
}

void CDlgConfig::FactoryDefault() {
    if (!askYesNo || !askYesNo(QString::fromLatin1(kFactoryQuestion))) return;
    SendCommand(od::CMD_FACTORY_DEFAULT, WAIT_FACTORY_DEFAULT_MS);
    ReloadFromDevice();
}

void CDlgConfig::RestartDevice() { SendCommand(od::CMD_RESTART, WAIT_RESTART_MS); }

void CDlgConfig::ApplyAndFlashWrite() {
    bool applied = true;
    if (m_pageAhrs) applied = m_pageAhrs->ApplyToDevice() && applied;
    if (m_pageFilter) applied = m_pageFilter->ApplyToDevice() && applied;
    if (m_pageFft) applied = m_pageFft->ApplyToDevice() && applied;
    // The flash keeps only a configuration that the module took whole: after
    // a write that was not acknowledged the flash is left as it was.
    m_lastFlashWriteDone = applied && SendCommand(od::CMD_FLASH_WRITE, WAIT_FLASH_WRITE_MS);
    ReloadFromDevice();
}

void CDlgConfig::ReloadFromDevice() {
    ++reloadCalls;
    if (m_pageAhrs) m_pageAhrs->LoadFromDevice();
    if (m_pageFilter) m_pageFilter->LoadFromDevice();
    if (m_pageCalib) {
        m_pageCalib->ClearChangeMarks();
        m_pageCalib->ReadCalibration(true);
    }
    if (m_pageFft) m_pageFft->LoadFromDevice();
}
