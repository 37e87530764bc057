#include "ui/main/tarvik_ui_dlg.h"

#include "app/app_ini.h"
#include "app/session_link.h"
#include "app/version.h"
#include "app/startup_marks.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "ui/about/dlg_about.h"
#include "ui/charts/dlg_probe.h"
#include "ui/charts/dlg_realtime_track.h"
#include "ui/config/dlg_config.h"
#include <QTabBar>  // before tab_dialog.h: its QPointer<QTabBar> needs the full type

#include "ui/toolkit/tab_dialog.h"
#include "ui/main/dlg_connection.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/message_box.h"
#include "ui/views/dlg_main_ahrs.h"
#include "ui/views/dlg_main_fft.h"
#include "ui/views/dlg_main_sync.h"
#include "ui/views/dlg_main_vibr.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <ctime>
#include <filesystem>

namespace {

// Artwork: the application icon (128) and the tab image strip (160).
constexpr const char* kIconResource = ":/icons/tarvik.png";
constexpr const char* kTabStripResource = ":/icons/tab_strip.png";

// Template 102, positions in dialog units: the two captions on top, the tab
// control with its 350 x 370 pages, one row of buttons and the status bar
// across the bottom edge.
const ControlDef kControls102[] = {
    {CTARVIK_UIDlg::IDC_PRODUCT, ControlKind::Static, "", 7, 1, 150, 19},
    {CTARVIK_UIDlg::IDC_MAKER, ControlKind::StaticRight, "", 200, 6, 158, 13},
    {CTARVIK_UIDlg::IDC_TAB, ControlKind::Tab, "", 4, 20, 357, 388, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_CONNECT, ControlKind::PushButton, "Connect", 4, 412, 50, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_CHART, ControlKind::PushButton, "Chart", 60, 412, 45, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_PROBE, ControlKind::PushButton, "Probe", 108, 412, 45, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_MAP, ControlKind::PushButton, "Map", 156, 412, 45, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_HELP, ControlKind::PushButton, "Help", 214, 412, 45, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_ABOUT, ControlKind::PushButton, "About", 262, 412, 45, 14, CS_TABSTOP},
    {IDCANCEL, ControlKind::PushButton, "Exit", 316, 412, 45, 14, CS_TABSTOP},
    {CTARVIK_UIDlg::IDC_STATUS, ControlKind::StaticBorder, "", 0, 431, 365, 12},
    // Ours: in the button row, where the hidden "Map" leaves its place free.
    {CTARVIK_UIDlg::IDC_RECORD, ControlKind::PushButton, "Record", 156, 412, 45, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate102{CTARVIK_UIDlg::IDD, CTARVIK_UIDlg::kTitle, 365, 443, false, kControls102,
                                  int(sizeof(kControls102) / sizeof(kControls102[0]))};

QColor ColourValue(CTARVIK_UIDlg::StatusColour c) {
    switch (c) {
    case CTARVIK_UIDlg::StatusColour::Red: return QColor(255, 0, 0);
    case CTARVIK_UIDlg::StatusColour::Orange: return QColor(255, 127, 0);
    case CTARVIK_UIDlg::StatusColour::Yellow: return QColor(255, 255, 0);
    case CTARVIK_UIDlg::StatusColour::Normal: break;
    }
    return QColor();
}

}  // namespace

const DialogTemplate& CTARVIK_UIDlg::DialogTemplate102() { return kTemplate102; }

CTARVIK_UIDlg::CTARVIK_UIDlg() : CDialogCommon(kTemplate102, nullptr) {}

CTARVIK_UIDlg::~CTARVIK_UIDlg() {
    DestroyWindow();  // the window's destruction, when it has not happened yet
    m_session.reset();
    delete m_chart;
    delete m_probe;
    delete m_titleFont;
    delete m_captionFont;
    delete m_tabs;  // deletes the pages
}

// The texts and colours come from the object catalogue's status-word rules.
QString CTARVIK_UIDlg::StatusText(bool connected, bool fault, bool noReply, int32_t statusWord) {
    return QString::fromStdString(od::StatusText(connected, fault, noReply, statusWord));
}

CTARVIK_UIDlg::StatusColour CTARVIK_UIDlg::StatusColourOf(bool connected, bool fault, bool noReply,
                                                          int32_t statusWord) {
    switch (od::StatusColourOf(connected, fault, noReply, statusWord)) {
    case od::StatusColour::Red: return StatusColour::Red;
    case od::StatusColour::Orange: return StatusColour::Orange;
    case od::StatusColour::Yellow: return StatusColour::Yellow;
    case od::StatusColour::Normal: break;
    }
    return StatusColour::Normal;
}

bool CTARVIK_UIDlg::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    const QIcon icon(QString::fromLatin1(kIconResource));
    setWindowIcon(icon);
    SetTitle(QString::fromLatin1(kTitle));
    setFixedSize(size());

    if (g_pAppIni) {
        int x = g_pAppIni->mainSx;
        int y = g_pAppIni->mainSy;
        ClampToVirtualScreen(x, y);
        move(x, y);
    }

    m_titleFont = new QFont(QStringLiteral("Arial"));
    m_titleFont->setPixelSize(24);
    m_titleFont->setStretch(QFont::Condensed);
    m_captionFont = new QFont(QStringLiteral("Arial"));
    m_captionFont->setPixelSize(16);
    m_captionFont->setStretch(QFont::Condensed);
    if (QWidget* w = GetDlgItem(IDC_PRODUCT)) w->setFont(*m_titleFont);
    if (QWidget* w = GetDlgItem(IDC_MAKER)) w->setFont(*m_captionFont);
    SetDlgItemText(IDC_PRODUCT, QStringLiteral("Tarvik UI"));
    SetDlgItemText(IDC_MAKER, QStringLiteral("Kelvane Co., Ltd."));
    SetDlgItemText(IDC_STATUS, QStringLiteral("Status: ..."));
    if (auto* bar = Item<QLabel>(IDC_STATUS)) bar->setAutoFillBackground(true);

    m_tabs = new CTabDialog();
    m_tabs->Attach(this, IDC_TAB);
    m_tabs->SetImageList(QPixmap(QString::fromLatin1(kTabStripResource)));
    m_pageAhrs = new CDlgMainAhrs(this);
    m_pageFft = new CDlgMainFft(this);
    m_pageVibr = new CDlgMainVibr(this);
    m_pageSync = new CDlgMainSync(this);
    m_pageConfig = new CDlgConfig(this);
    m_tabs->AddTab(QStringLiteral("AHRS"), m_pageAhrs, CDlgMainAhrs::IDD, 0);
    m_tabs->AddTab(QStringLiteral("Frequency"), m_pageFft, CDlgMainFft::IDD, 1);
    m_tabs->AddTab(QStringLiteral("Vibration"), m_pageVibr, CDlgMainVibr::IDD, 4);
    m_tabs->AddTab(QStringLiteral("Sync. data"), m_pageSync, CDlgMainSync::IDD, 2);
    m_tabs->AddTab(QStringLiteral("Configuration"), m_pageConfig, CDlgConfig::IDD, 3);
    m_tabs->RestoreSelection(g_pAppIni ? g_pAppIni->mainTabSel : 0);

    // Tool windows: created once, top-level, shown as the settings say.
    m_chart = new CDlgRealtimeTrack();
    m_chart->Create();
    if (g_pAppIni && g_pAppIni->chartWinShow != 0) m_chart->show();
    else m_chart->hide();
    m_probe = new CDlgProbe();
    m_probe->Create();
    if (g_pAppIni && g_pAppIni->bplotWinShow != 0) m_probe->show();
    else m_probe->hide();

    ShowDlgItem(IDC_MAP, false);
    m_session = std::make_unique<CSessionLink>(m_pageSync ? &m_pageSync->Receiver() : nullptr);
    if (!m_udp.empty()) {
        std::string error;
        if (!m_session->OpenUdp(m_udp, &error)) ShowMessageBoxModeless(this, QString::fromStdString(error), MsgIcon::Warning);
    }
    startup::Mark("window-built");
    Connect();
    SetTimer(TIMER_STATUS, STATUS_PERIOD_MS);
    SetTimer(TIMER_RECORD, RECORD_PERIOD_MS);
    // The first tick as soon as the window runs (its pages then show as they
    // will): the status line tells the state of the connection just made
    // when the window appears, not a period later.
    QTimer::singleShot(0, this, [this] { OnTimer(TIMER_STATUS); });
    startup::Mark("init-done");
    return true;
}

void CTARVIK_UIDlg::SetSessionOptions(const std::string& recordPath, const std::string& udp, const QString& titleNote) {
    m_recordOnConnect = recordPath;
    m_udp = udp;
    m_titleNote = titleNote;
}

void CTARVIK_UIDlg::SetTitle(const QString& title) {
    setWindowTitle(m_titleNote.isEmpty() ? title : title + QStringLiteral(" - ") + m_titleNote);
}

void CTARVIK_UIDlg::StartRecording(const std::string& path) {
    std::string error;
    const std::string port = g_pSerialCom ? g_pSerialCom->PortName() : (g_pAppIni ? g_pAppIni->comPort : "");
    const int32_t baud = g_pSerialCom ? int32_t(g_pSerialCom->BaudRate()) : (g_pAppIni ? g_pAppIni->comBaudrate : 0);
    if (!m_session->StartRecording(path, std::string("tarvik-ui ") + kUiVersion, port, baud,
                                   g_pAppIni ? g_pAppIni->deviceID : 0, &error))
        ShowMessageBoxModeless(this, QStringLiteral("Recording did not start: ") + QString::fromStdString(error),
                               MsgIcon::Warning);
    UpdateRecordButton();
}

void CTARVIK_UIDlg::StopRecording() {
    if (m_session) m_session->StopRecording();
    UpdateRecordButton();
}

void CTARVIK_UIDlg::ToggleRecording() {
    if (m_session->Recording()) {
        StopRecording();
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(SessionFolder(), ec);  // the dialog opens there
    SaveFileRequest request;
    request.filter = QStringLiteral("Session Files (*.jsonl)|*.jsonl|All Files (*.*)|*.*|");
    request.defaultSuffix = QStringLiteral("jsonl");
    request.initialPath = QString::fromStdString(SessionFolder() + "/" + DefaultSessionName(std::time(nullptr)));
    const QString path = GetSaveFileName(this, request);
    if (!path.isEmpty()) StartRecording(path.toStdString());
}

void CTARVIK_UIDlg::UpdateRecordButton() {
    QString text = QStringLiteral("Record");
    if (m_session && m_session->Recording()) {
        const long s = long(m_session->ElapsedSeconds());
        text = s >= 3600 ? QString::asprintf("Stop %ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60)
                         : QString::asprintf("Stop %ld:%02ld", s / 60, s % 60);
    }
    if (GetDlgItemText(IDC_RECORD) != text) SetDlgItemText(IDC_RECORD, text);
}

bool CTARVIK_UIDlg::Connect() {
    if (!g_pAppIni) return false;
    startup::Mark("connect-start");
    uint32_t rate = 0;
    if (m_session) m_session->Disconnecting();  // a connect replaces the access object
    if (!ConnectDevice(g_pAppIni->comPort, g_pAppIni->comBaudrate, g_pAppIni->trTimeout,
                       g_pAppIni->deviceID, &rate)) {
        startup::Mark("connect-failed");
        // No message: the status bar says "Device is disconnected."; its tip
        // says why, for the user who points at it, and where to look further.
        SetStatusTip(QString::fromLocal8Bit(
                         DescribeConnectFailure(g_pAppIni->comPort, g_pAppIni->comBaudrate).c_str()) +
                     QStringLiteral("\n\"Diagnose\" in the Connection dialog (\"Connect\") tells what stands "
                                    "in the way."));
        return false;
    }
    SetStatusTip(QString());
    startup::Mark("link-up");
    if (m_session) {
        m_session->Connected();
        if (!m_recordOnConnect.empty()) {
            StartRecording(m_recordOnConnect);
            m_recordOnConnect.clear();
        }
    }
    if (m_pageFft) m_pageFft->RefreshSource();
    if (m_pageVibr) m_pageVibr->RefreshSource();
    if (m_pageSync) m_pageSync->ShowConfiguration();
    if (m_pageConfig) m_pageConfig->ReloadFromDevice();
    startup::Mark("pages-reloaded");
    const char* port = g_pSerialCom ? g_pSerialCom->PortName() : g_pAppIni->comPort;
    if (g_pSerialCom) rate = g_pSerialCom->BaudRate();
    SetTitle(QStringLiteral("%1 - %2 (%3 bps)")
                 .arg(QString::fromLatin1(kTitle), QString::fromLocal8Bit(port))
                 .arg(int(rate)));
    SetConnectButtonText("Disconnect");
    return true;
}

void CTARVIK_UIDlg::Disconnect() {
    if (m_session) m_session->Disconnecting();
    DisconnectDevice();
    SetTitle(QString::fromLatin1(kTitle));
    SetConnectButtonText("Connect");
}

void CTARVIK_UIDlg::SetStatusTip(const QString& text) {
    if (QWidget* bar = GetDlgItem(IDC_STATUS)) bar->setToolTip(text);
}

void CTARVIK_UIDlg::SetConnectButtonText(const char* text) { SetDlgItemText(IDC_CONNECT, QString::fromLatin1(text)); }

void CTARVIK_UIDlg::OnTimer(int id) {
    if (id == TIMER_RECORD && m_session && m_session->Recording()) {
        const std::string failure = m_session->Failure();
        if (!failure.empty()) {
            StopRecording();
            ShowMessageBoxModeless(this, QStringLiteral("Recording stopped: ") + QString::fromStdString(failure),
                                   MsgIcon::Warning);
        }
        UpdateRecordButton();
    }
    if (id == TIMER_STATUS) {
        const bool syncShown = m_pageSync && m_pageSync->IsWindowVisible();
        if (syncShown != m_lastSyncShown) {
            if (syncShown) {
                m_chartWasVisible = m_chart && m_chart->isVisible();
                m_probeWasVisible = m_probe && m_probe->isVisible();
                if (m_chartWasVisible) m_chart->hide();
                if (m_probeWasVisible) m_probe->hide();
            } else {
                if (m_chartWasVisible && m_chart) m_chart->show();
                if (m_probeWasVisible && m_probe) m_probe->show();
            }
            EnableDlgItem(IDC_CHART, !syncShown);
            EnableDlgItem(IDC_PROBE, !syncShown);
            EnableDlgItem(IDC_MAP, !syncShown);
            m_lastSyncShown = syncShown;
        }
        if (!syncShown) {
            int32_t word = 0;
            if (g_pObjectAccess) {
                // The tip names why the status read failed; a call held off
                // by the back-off keeps the reason that started it.
                if (g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &word, 1))
                    SetStatusTip(QString());
                else if (g_pObjectAccess->LastFailure() != AccessFailure::Waiting)
                    SetStatusTip(QStringLiteral("Status read failed: %1")
                                     .arg(QString::fromLatin1(FailureText(g_pObjectAccess))));
            }
            m_statusWord = word;
        }
        UpdateStatusBar();
    }
    CDialogCommon::OnTimer(id);
}

void CTARVIK_UIDlg::UpdateStatusBar() {
    const CObjectAccess* access = g_pObjectAccess;
    const bool fault = access && access->FaultTime() != 0;
    const bool noReply = access && access->NoReplyTime() != 0;
    if (access == m_lastAccess && m_statusWord == m_lastStatusWord && fault == m_lastFault &&
        noReply == m_lastNoReply)
        return;
    QString text = StatusText(access != nullptr, fault, noReply, m_statusWord);
    text.replace(QStringLiteral("&&"), QStringLiteral("&"));  // a static text shows "&&" as "&"
    m_statusColour = StatusColourOf(access != nullptr, fault, noReply, m_statusWord);
    if (auto* bar = Item<QLabel>(IDC_STATUS)) {
        bar->setText(text);
        QPalette pal = palette();
        const QColor c = ColourValue(m_statusColour);
        if (c.isValid()) pal.setColor(QPalette::Window, c);
        bar->setPalette(pal);
    } else {
        SetDlgItemText(IDC_STATUS, text);
    }
    if (text == QLatin1String("Device is connected.")) startup::Mark("status-connected");
    ++m_statusRewrites;
    m_lastAccess = access;
    m_lastStatusWord = m_statusWord;
    m_lastFault = fault;
    m_lastNoReply = noReply;
}

void CTARVIK_UIDlg::ToggleToolWindow(QWidget* window, int& setting) {
    if (!window) return;
    if (window->isVisible()) window->hide();
    else window->show();
    setting = window->isVisible() ? 1 : 0;
}

void CTARVIK_UIDlg::OnCommand(int id) {
    switch (id) {
    case IDC_CONNECT:
        if (g_pObjectAccess) {
            Disconnect();
        } else {
            CDlgConnection dlg;
            if (dlg.DoModal() == IDOK) Connect();
        }
        break;
    case IDC_RECORD: ToggleRecording(); break;
    case IDC_CHART:
        if (g_pAppIni) ToggleToolWindow(m_chart, g_pAppIni->chartWinShow);
        break;
    case IDC_PROBE:
        if (g_pAppIni) ToggleToolWindow(m_probe, g_pAppIni->bplotWinShow);
        break;
    case IDC_HELP: {
        // Opened by the desktop's handler; a missing file shows nothing.
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("help.pdf"));
        if (QFileInfo::exists(path)) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        break;
    }
    case IDC_ABOUT: {
        CDlgAbout about;
        about.DoModal();
        break;
    }
    case IDC_MAP:
    default:
        break;
    }
    CDialogCommon::OnCommand(id);
}

void CTARVIK_UIDlg::StoreOnClose() {
    if (m_pageSync && m_pageSync->HasOpenExportFile()) m_pageSync->CloseExportFile();
    if (!g_pAppIni) return;
    const QPoint p = pos();
    g_pAppIni->mainSx = p.x();
    g_pAppIni->mainSy = p.y();
    g_pAppIni->chartWinShow = (m_chart && m_chart->isVisible()) ? 1 : 0;
    g_pAppIni->bplotWinShow = (m_probe && m_probe->isVisible()) ? 1 : 0;
}

// Exit, the close box, Escape and Enter all close the window the same way.
void CTARVIK_UIDlg::OnOK() {
    StoreOnClose();
    CDialogCommon::OnOK();
}

void CTARVIK_UIDlg::OnCancel() {
    StoreOnClose();
    CDialogCommon::OnCancel();
}

void CTARVIK_UIDlg::OnDestroy() {
    KillTimer(TIMER_STATUS);
    KillTimer(TIMER_RECORD);
    if (m_session) {
        m_session->StopRecording();
        m_session->Disconnecting();
    }
    if (m_tabs && g_pAppIni) g_pAppIni->mainTabSel = m_tabs->CurrentPage();
    if (m_tabs) m_tabs->DestroyPages();
    CDialogCommon::OnDestroy();
    DisconnectDevice();
    // The tool windows store their placement as their windows go away.
    if (m_chart) m_chart->DestroyWindow();
    if (m_probe) m_probe->DestroyWindow();
}
