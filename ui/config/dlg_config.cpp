#include "ui/config/dlg_config.h"

#include "app/app_ini.h"
#include "app/config_backup.h"
#include "app/config_compare.h"
#include "device/object_dictionary.h"
#include "ui/config/config_io.h"
#include "ui/config/dlg_config_ahrs.h"
#include "ui/config/dlg_config_calib.h"
#include "ui/config/dlg_config_compare.h"
#include "ui/config/dlg_config_fft.h"
#include "ui/config/dlg_config_filter.h"
#include "ui/toolkit/file_dialog.h"
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
    // Ours: the button row has room for the note only, the files' buttons
    // sit in the free corner of the tab row.
    {CDlgConfig::IDC_SAVE_FILE, ControlKind::PushButton, "Save to File...", 229, 6, 55, 13, CS_TABSTOP},
    {CDlgConfig::IDC_LOAD_FILE, ControlKind::PushButton, "Load from File...", 286, 6, 56, 13, CS_TABSTOP},
    {CDlgConfig::IDC_BACKUP_NOTE, ControlKind::Static, "", 189, 352, 70, 10},
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
    delete m_compare;
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

    m_tabs->RestoreSelection(g_pAppIni ? g_pAppIni->configTabSel : 0);

    // The template enables the buttons and the timer starts from "disabled":
    // they follow the connection once one has come and gone.
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
    case IDC_SAVE_FILE: SaveToFile(); break;
    case IDC_LOAD_FILE: LoadFromFile(); break;
    default: break;
    }
    CDialog::OnCommand(id);
}

void CDlgConfig::SendCommand(int32_t command, int waitMs) {
    cfgio::WriteInt32(od::OBJ_COMMAND, command);  // skipped without a connection
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}

void CDlgConfig::FactoryDefault() {
    if (!askYesNo || !askYesNo(QString::fromLatin1(kFactoryQuestion))) return;
    Backup();
    SendCommand(od::CMD_FACTORY_DEFAULT, WAIT_FACTORY_DEFAULT_MS);
    ReloadFromDevice();
}

void CDlgConfig::RestartDevice() { SendCommand(od::CMD_RESTART, WAIT_RESTART_MS); }

void CDlgConfig::ApplyAndFlashWrite() {
    Backup();
    if (m_pageAhrs) m_pageAhrs->ApplyToDevice();
    if (m_pageFilter) m_pageFilter->ApplyToDevice();
    if (m_pageFft) m_pageFft->ApplyToDevice();
    // Written whatever the pages' writes returned: the reload then shows what
    // the module holds.
    SendCommand(od::CMD_FLASH_WRITE, WAIT_FLASH_WRITE_MS);
    ReloadFromDevice();
}

void CDlgConfig::ReloadFromDevice() {
    if (m_pageAhrs) m_pageAhrs->LoadFromDevice();
    if (m_pageFilter) m_pageFilter->LoadFromDevice();
    if (m_pageCalib) {
        m_pageCalib->ClearChangeMarks();
        m_pageCalib->ReadCalibration(true);
    }
    if (m_pageFft) m_pageFft->LoadFromDevice();
}

namespace {

constexpr const char* kConfigFilter = "Configuration Files (*.ini;*.json)|*.ini;*.json|All Files (*.*)|*.*|";

}  // namespace

void CDlgConfig::Backup() {
    const BackupResult r = WriteConfigBackup();
    const QString text = r.ok ? QStringLiteral("Backup saved") : QStringLiteral("No backup: ") + QString::fromStdString(r.error);
    SetDlgItemText(IDC_BACKUP_NOTE, text);
    if (QWidget* note = GetDlgItem(IDC_BACKUP_NOTE)) {
        const QString full = r.ok ? QStringLiteral("Backup saved to ") + QString::fromStdString(r.path) : text;
        note->setToolTip(full);
        note->setAccessibleName(full);
    }
}

void CDlgConfig::SaveToFile() {
    SaveFileRequest request;
    request.filter = QString::fromLatin1(kConfigFilter);
    request.defaultSuffix = QStringLiteral("ini");
    request.initialPath = m_lastFile.isEmpty() ? QStringLiteral("tarvik-config.ini") : m_lastFile;
    const QString path = GetSaveFileName(this, request);
    if (path.isEmpty()) return;
    const ConfigReading reading = ReadConfiguration();
    if (!reading.ok) {
        ShowError(this, QStringLiteral("The configuration was not saved: ") + QString::fromStdString(reading.error));
        return;
    }
    std::string error;
    if (!WriteConfigFile(path.toStdString(), reading.entries, &error)) {
        ShowError(this, QString::fromStdString(error));
        return;
    }
    m_lastFile = path;
}

void CDlgConfig::LoadFromFile() {
    OpenFileRequest request;
    request.filter = QString::fromLatin1(kConfigFilter);
    // Without a file of the user's own at hand, the backups are two clicks away.
    request.initialPath = m_lastFile.isEmpty() ? QString::fromStdString(BackupFolder() + "/") : m_lastFile;
    const QString path = GetOpenFileName(this, request);
    if (path.isEmpty()) return;
    std::vector<ConfigEntry> file;
    std::string error;
    if (!ReadConfigFile(path.toStdString(), &file, &error)) {
        ShowError(this, QString::fromStdString(error));
        return;
    }
    const ConfigReading reading = ReadConfiguration();
    if (!reading.ok) {
        ShowError(this, QStringLiteral("The module's configuration could not be read: ") +
                            QString::fromStdString(reading.error));
        return;
    }
    m_lastFile = path;
    if (!m_compare) {
        m_compare = new CDlgConfigCompare();
        m_compare->applySelected = [this](const std::vector<CompareRow>& rows) { ApplySelected(rows); };
    }
    m_compare->SetRows(path.toStdString(), CompareConfiguration(file, reading.entries));
    m_compare->show();
    m_compare->raise();
}

void CDlgConfig::ApplySelected(const std::vector<CompareRow>& rows) {
    Backup();
    std::vector<ConfigWrite> writes;
    for (const CompareRow& r : rows) writes.push_back({r.info, r.writeSlot});
    std::string error;
    // The checked objects, then the flash command; the module has its time
    // for the flash before anything reads back.
    const bool written = WriteConfiguration(writes, &error);
    std::this_thread::sleep_for(std::chrono::milliseconds(WAIT_FLASH_WRITE_MS));
    ReloadFromDevice();
    std::vector<ReadBack> results;
    if (written) ReadBackConfiguration(writes, &results, &error);
    if (m_compare) m_compare->ShowReadBack(results, error);
}
