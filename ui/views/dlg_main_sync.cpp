#include "ui/views/dlg_main_sync.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "ui/toolkit/indicator_images.h"
#include "ui/toolkit/message_box.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QShowEvent>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

const ControlDef kControls157[] = {
    {CDlgMainSync::IDC_LAMP, ControlKind::Picture, ":/lamps/lamp_149.png", 7, 10, 9, 8},
    {-1, ControlKind::Static, "Export file :", 23, 10, 38, 8},
    {CDlgMainSync::IDC_PATH, ControlKind::Edit, "", 64, 7, 197, 14, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainSync::IDC_BROWSE, ControlKind::PushButton, "...", 262, 7, 21, 14, CS_TABSTOP},
    {CDlgMainSync::IDC_RUN, ControlKind::RadioButton, "Run", 301, 7, 20, 14, CS_GROUP | CS_PUSHLIKE | CS_ICON | CS_TABSTOP},
    {CDlgMainSync::IDC_FREEZE, ControlKind::RadioButton, "Freeze", 323, 7, 20, 14, CS_PUSHLIKE | CS_ICON},
    {CDlgMainSync::IDC_TEXT, ControlKind::EditMultiline, "", 7, 26, 336, 322,
     CS_GROUP | CS_BORDER | CS_VSCROLL | CS_TABSTOP},
    {CDlgMainSync::IDC_CONFIG, ControlKind::Edit, "", 7, 349, 275, 14, CS_READONLY | CS_BORDER | CS_AUTOHSCROLL},
    {CDlgMainSync::IDC_CLEAR, ControlKind::PushButton, "Clear", 293, 349, 50, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate157{CDlgMainSync::IDD, "", 350, 370, true, kControls157,
                                  static_cast<int>(sizeof kControls157 / sizeof kControls157[0])};

const char* const kPortNames[2] = {"0 - RS-232/UART1", "1 - USB/UART2"};

// A path from a settings file written on Windows (".\records.csv") names the
// same file here.
QByteArray FilePathBytes(const char* path) {
    QByteArray bytes(path);
    bytes.replace('\\', '/');
    return bytes;
}

}  // namespace

const DialogTemplate& CDlgMainSync::PageTemplate() { return kTemplate157; }

CDlgMainSync::CDlgMainSync(QWidget* parent) : CDialog(kTemplate157, parent) {}

CDlgMainSync::~CDlgMainSync() {
    DestroyWindow();
    CloseFile();
}

const QPixmap& CDlgMainSync::Lamp(int id) const {
    // Made with the page's palette, so their white is the button colour as
    // in the images start-up makes; they live as long as the page.
    if (!m_lamps) m_lamps = std::make_unique<IndicatorImages>(palette());
    return m_lamps->Get(id);
}

bool CDlgMainSync::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_TEXT, QString());
    LimitText(IDC_TEXT, TEXT_LIMIT);
    // A fixed-pitch face of about the cell of the system's fixed font.
    SetFixedPitchFont(IDC_TEXT, 10);
    SetRunFreezeIcons(IDC_RUN, IDC_FREEZE);
    SetIndicator(LAMP_OFF);
    if (g_pAppIni) SetDlgItemText(IDC_PATH, QString::fromLocal8Bit(g_pAppIni->sync_file));
    ShowStart(IDC_PATH);
    UpdateConfiguration();
    SetTimer(TIMER_STATE, STATE_PERIOD_MS);
    if (g_pAppIni && g_pAppIni->startSync != 0) {
        CheckDlgButton(IDC_RUN, true);
        Run();
    }
    return true;
}

void CDlgMainSync::OnDestroy() {
    KillTimer(TIMER_STATE);
    KillTimer(TIMER_RECEIVE);
    CloseFile();
    CDialog::OnDestroy();
}

void CDlgMainSync::showEvent(QShowEvent* event) {
    CDialog::showEvent(event);
    if (!event->spontaneous() && IsCreated()) UpdateConfiguration();
}

QString CDlgMainSync::ConfigurationLine(bool connected, int32_t period, int32_t port, int32_t selection) {
    if (!connected) return QStringLiteral("Disconnected to device.");
    if (selection == 0) return QStringLiteral("No transmission data are selected on the device.");
    port = std::clamp(port, 0, 1);
    const std::string data = od::SyncSelectionNames(uint32_t(selection));
    return QString::fromStdString(
        FormatC("Port = %s; Period = %d[ms]; Data = %s", kPortNames[port], int(period), data.c_str()));
}

void CDlgMainSync::ShowConfiguration() {
    UpdateConfiguration();
}

void CDlgMainSync::UpdateConfiguration() {
    if (!g_pObjectAccess) {
        SetDlgItemText(IDC_CONFIG, ConfigurationLine(false, 0, 0, 0));
        ShowStart(IDC_CONFIG);
        return;
    }
    // A failed read leaves the starting value.
    int32_t period = 100, port = 0, selection = 0;
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SYNC_PERIOD, 0, &period, 1);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SYNC_PORT, 0, &port, 1);
    if (g_pObjectAccess) g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_SYNC_SELECTION, 0, &selection, 1);
    SetDlgItemText(IDC_CONFIG, ConfigurationLine(true, period, port, selection));
    ShowStart(IDC_CONFIG);
}

void CDlgMainSync::OnTimer(int id) {
    if (id == TIMER_STATE) {
        const bool connected = g_pObjectAccess != nullptr;
        if (connected != m_lastConnected) {
            EnableDlgItem(IDC_RUN, connected);
            EnableDlgItem(IDC_FREEZE, connected);
            m_lastConnected = connected;
        }
    } else if (id == TIMER_RECEIVE) {
        Receive(true);
    }
    CDialog::OnTimer(id);
}

void CDlgMainSync::OnCommand(int id) {
    switch (id) {
    case IDC_RUN: Run(); break;
    case IDC_FREEZE: Freeze(); break;
    case IDC_BROWSE: Browse(); break;
    case IDC_CLEAR: Clear(); break;
    default: break;
    }
    CDialog::OnCommand(id);
}

void CDlgMainSync::SetIndicator(int id) {
    m_lampId = id;
    SetBitmap(IDC_LAMP, Lamp(id));
    if (QWidget* lamp = GetDlgItem(IDC_LAMP))
        lamp->setToolTip(id == LAMP_ON ? QStringLiteral("Recording to ") + m_filePath : m_exportError);
}

void CDlgMainSync::ReportFileError(const QString& text) {
    m_exportError = text;
    if (QWidget* lamp = GetDlgItem(IDC_LAMP)) lamp->setToolTip(text);
    // Said at once and without a modal loop: reception and display go on.
    if (m_errorBox) m_errorBox->close();
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(QStringLiteral("exportError"));
    box->setWindowModality(Qt::NonModal);
    box->show();
    m_errorBox = box;
}

bool CDlgMainSync::CloseFile() {
    if (!m_file) return true;
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (IsCreated() && !IsDestroyed()) SetIndicator(LAMP_OFF);
    return ok;
}

void CDlgMainSync::CloseExportFile() {
    CloseFile();
}

void CDlgMainSync::OnOK() {
    // The export file closes; reception, display and "startSync" go on.
    CloseFile();
}

void CDlgMainSync::OnCancel() { CloseFile(); }

void CDlgMainSync::Run() {
    if (!m_file) {
        const QByteArray path = g_pAppIni ? FilePathBytes(g_pAppIni->sync_file) : QByteArray("records.csv");
        m_filePath = QString::fromLocal8Bit(path);
        m_file = std::fopen(path.constData(), "w+b");
        if (m_file) {
            m_exportError.clear();
            if (m_errorBox) m_errorBox->close();
            SetIndicator(LAMP_ON);
        } else {
            const int err = errno;
            SetIndicator(LAMP_OFF);
            ReportFileError(QStringLiteral("The export file \"%1\" cannot be opened: %2.\nThe data are shown but not recorded.")
                                .arg(m_filePath, QString::fromLocal8Bit(std::strerror(err))));
        }
        if (g_pAppIni) g_pAppIni->startSync = 1;
    }
    Receive(false);
    SetTimer(TIMER_RECEIVE, RECEIVE_PERIOD_MS);
}

void CDlgMainSync::Freeze() {
    if (m_file) {
        CloseFile();
        if (g_pAppIni) g_pAppIni->startSync = 0;
    }
    KillTimer(TIMER_RECEIVE);
}

void CDlgMainSync::Browse() {
    SaveFileRequest request;
    request.filter = QStringLiteral("Sync. data Files (*.csv)|*.csv|All Files (*.*)|*.*|");
    request.defaultSuffix = QStringLiteral("csv");
    request.initialPath = g_pAppIni ? QString::fromLocal8Bit(g_pAppIni->sync_file) : QString();
    request.filterIndex = 0;
    request.overwritePrompt = true;
    // Modal to the main window only (the tool windows are not blocked).
    const QString chosen = m_prompt ? m_prompt(request) : GetSaveFileName(this, request);
    if (chosen.isEmpty()) return;
    const QString stored = RelativeToWorkingDir(chosen);
    if (!g_pAppIni) return;
    if (!CAppIni::SetText(g_pAppIni->sync_file, stored.toLocal8Bit().toStdString())) {
        ShowWarning(this, QStringLiteral("The path \"%1\" is longer than %2 characters; the export file stays \"%3\".")
                              .arg(stored)
                              .arg(CAppIni::kTextSize - 1)
                              .arg(QString::fromLocal8Bit(g_pAppIni->sync_file)));
        return;
    }
    SetDlgItemText(IDC_PATH, stored);
    ShowStart(IDC_PATH);
}

void CDlgMainSync::ShowStart(int id) {
    // A long line shows its beginning, as a read-only field does.
    if (auto* e = Item<QLineEdit>(id)) e->setCursorPosition(0);
}

void CDlgMainSync::Clear() {
    SetSel(IDC_TEXT, 0, -1);
    ScrollCaret(IDC_TEXT);
    ReplaceSel(IDC_TEXT, QString(), false);
}

void CDlgMainSync::Receive(bool display) {
    CSyncReceiver::Chunk chunk;
    if (!m_receiver.Receive(g_pSerialCom, display, &chunk)) return;
    // The file gets every byte as it came, so it stays a copy of the stream
    // even when a CR LF pair was split after all.
    if (m_file) {
        if (std::fwrite(chunk.bytes, size_t(chunk.length), 1, m_file) != 1 || std::fflush(m_file) != 0) {
            const int err = errno;
            CloseFile();
            ReportFileError(QStringLiteral("Writing the export file \"%1\" failed: %2.\nRecording has stopped.")
                                .arg(m_filePath, QString::fromLocal8Bit(std::strerror(err))));
        }
    }
    ShowChunk(chunk.text, chunk.textLength);
}

void CDlgMainSync::ShowChunk(const char* data, int length) {
    int len = GetTextLength(IDC_TEXT);
    if (len > TRIM_ABOVE) {
        // The older half of the lines goes at once, so trimming is rare.
        const int cut = LineIndex(IDC_TEXT, GetLineCount(IDC_TEXT) / 2);
        if (cut > 0) {
            SetSel(IDC_TEXT, 0, cut);
            ReplaceSel(IDC_TEXT, QString(), false);
        }
        len = GetTextLength(IDC_TEXT);
    }
    SetSel(IDC_TEXT, len, len);
    ScrollCaret(IDC_TEXT);
    ReplaceSel(IDC_TEXT, QString::fromLatin1(data, length), false);
}
