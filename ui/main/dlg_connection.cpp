#include "ui/main/dlg_connection.h"

#include "app/app_ini.h"
#include "device/connection.h"
#include "device/serial_com.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>
#include <cstring>

namespace {

// Template 132, positions in dialog units. The device id field and its label
// lie below the visible area: the value is carried through, not shown.
const ControlDef kControls132[] = {
    {-1, ControlKind::Static, "COM Port :", 7, 9, 60, 8},
    {CDlgConnection::IDC_PORT, ControlKind::ComboDropDown, "", 70, 7, 110, 100, CS_TABSTOP | CS_VSCROLL},
    {-1, ControlKind::Static, "Baudrate :", 7, 27, 60, 8},
    {CDlgConnection::IDC_BAUD, ControlKind::ComboDropDown, "", 70, 25, 80, 100, CS_TABSTOP | CS_VSCROLL},
    {-1, ControlKind::Static, "bps", 154, 27, 20, 8},
    // Wide enough for the whole label on one line; its edit and unit sit right of it.
    {-1, ControlKind::Static, "Transaction timeout :", 7, 45, 75, 8},
    {CDlgConnection::IDC_TIMEOUT, ControlKind::Edit, "", 84, 43, 40, 12, CS_TABSTOP | CS_BORDER | CS_NUMBER},
    {-1, ControlKind::Static, "ms", 128, 45, 20, 8},
    {IDOK, ControlKind::DefPushButton, "Connect", 76, 64, 50, 14, CS_TABSTOP},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 130, 64, 50, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "Device ID :", 7, 100, 60, 8, CS_DISABLED},
    {CDlgConnection::IDC_DEVICE_ID, ControlKind::Edit, "", 70, 98, 40, 12, CS_DISABLED | CS_BORDER | CS_NUMBER},
};

const DialogTemplate kTemplate132{CDlgConnection::IDD, "Connection", 187, 84, false, kControls132,
                                  int(sizeof(kControls132) / sizeof(kControls132[0]))};

const char* const kBaudTexts[9] = {CDlgConnection::kAutoDetect, "9600", "19200", "38400", "57600",
                                   "115200", "230400", "460800", "921600"};

}  // namespace

const DialogTemplate& CDlgConnection::DialogTemplate132() { return kTemplate132; }

CDlgConnection::CDlgConnection() : CDialog(kTemplate132, nullptr) {}

CDlgConnection::~CDlgConnection() = default;

unsigned CDlgConnection::ParseUnsigned(const QString& text) {
    const QString t = text.trimmed();
    unsigned long long v = 0;
    int digits = 0;
    for (QChar c : t) {
        if (c < QChar('0') || c > QChar('9')) break;
        v = v * 10 + unsigned(c.unicode() - '0');
        if (v > 0xFFFFFFFFull) return 0;  // does not fit: not a number
        ++digits;
    }
    return digits > 0 ? unsigned(v) : 0;
}

bool CDlgConnection::OnInitDialog() {
    CDialog::OnInitDialog();
    auto* port = Item<QComboBox>(IDC_PORT);
    auto* baud = Item<QComboBox>(IDC_BAUD);
    if (port) {
        port->setUpdatesEnabled(false);
        for (const std::string& name : EnumerateSerialPorts()) port->addItem(QString::fromStdString(name));
        port->setUpdatesEnabled(true);
    }
    if (baud)
        for (const char* t : kBaudTexts) baud->addItem(QString::fromLatin1(t));
    if (!g_pAppIni) return true;
    // The stored port is shown even when the enumeration did not find it.
    if (port) port->setEditText(QString::fromLocal8Bit(g_pAppIni->comPort));
    if (baud) {
        if (g_pAppIni->comBaudrate > 0) {
            baud->setEditText(QString::number(unsigned(g_pAppIni->comBaudrate)));
        } else {
            baud->setCurrentIndex(0);
            baud->setEditText(QString::fromLatin1(kAutoDetect));
        }
    }
    SetDlgItemText(IDC_DEVICE_ID, QString::number(unsigned(g_pAppIni->deviceID)));
    SetDlgItemText(IDC_TIMEOUT, QString::number(unsigned(g_pAppIni->trTimeout)));
    return true;
}

QString CDlgConnection::CheckPortPath(const QString& text) {
    const QByteArray name = text.toLocal8Bit();
    if (name.size() > CSerialCOM::kMaxPortName)
        return QStringLiteral("The port path is longer than %1 characters:\n%2")
            .arg(CSerialCOM::kMaxPortName)
            .arg(text);
    if (name.contains('\r') || name.contains('\n')) return QStringLiteral("The port path holds a line break.");
    return {};
}

void CDlgConnection::OnOK() {
    if (g_pAppIni) {
        auto* port = Item<QComboBox>(IDC_PORT);
        auto* baud = Item<QComboBox>(IDC_BAUD);
        const QString portText = port ? port->currentText() : QString();
        // A path is never cut: a cut path names another (or no) device. One
        // that does not fit is refused and the dialog stays open.
        const QString problem = CheckPortPath(portText);
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, QCoreApplication::applicationName(), problem);
            if (port) port->setFocus();
            return;
        }
        CAppIni::SetText(g_pAppIni->comPort, portText.toLocal8Bit().toStdString());
        // Stored as the signed settings field; a value above INT32_MAX would
        // turn negative and mean "detect", so it is taken as detection too.
        const unsigned rate = ParseUnsigned(baud ? baud->currentText() : QString());
        g_pAppIni->comBaudrate = rate > 0x7FFFFFFFu ? 0 : int(rate);
        const unsigned id = ParseUnsigned(GetDlgItemText(IDC_DEVICE_ID));
        g_pAppIni->deviceID = int(id);
        // The time-out is limited to 10..10000 ms; a text that is not a
        // number keeps the stored value. 0 would fail every exchange.
        const QString timeoutText = GetDlgItemText(IDC_TIMEOUT).trimmed();
        if (!timeoutText.isEmpty() && timeoutText[0] >= QChar('0') && timeoutText[0] <= QChar('9')) {
            long long timeout = 0;  // saturates: a long run of digits is simply large
            for (QChar c : timeoutText) {
                if (c < QChar('0') || c > QChar('9')) break;
                timeout = std::min<long long>(timeout * 10 + (c.unicode() - '0'), CAppIni::kTrTimeoutMax + 1);
            }
            g_pAppIni->trTimeout = CAppIni::LimitTrTimeout(int(timeout));
        }
    }
    CDialog::OnOK();
}
