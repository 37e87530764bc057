#include "ui/main/dlg_connection.h"

#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "ui/main/dlg_diagnosis.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QStyle>

#include <algorithm>
#include <cstring>
#include <utility>

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
    // In the free corner left of "Connect": the doctor on the chosen port.
    {CDlgConnection::IDC_DIAGNOSE, ControlKind::PushButton, "Diagnose", 7, 64, 50, 14, CS_TABSTOP},
    {-1, ControlKind::Static, "Device ID :", 7, 100, 60, 8, CS_DISABLED},
    {CDlgConnection::IDC_DEVICE_ID, ControlKind::Edit, "", 70, 98, 40, 12, CS_DISABLED | CS_BORDER | CS_NUMBER},
};

const DialogTemplate kTemplate132{CDlgConnection::IDD, "Connection", 187, 84, false, kControls132,
                                  int(sizeof(kControls132) / sizeof(kControls132[0]))};

}  // namespace

const DialogTemplate& CDlgConnection::DialogTemplate132() { return kTemplate132; }

CDlgConnection::CDlgConnection(std::string portRoot)
    : CDialog(kTemplate132, nullptr), m_portRoot(std::move(portRoot)) {}

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
    FillPorts(ListSerialPorts(m_portRoot));
    SetTimer(TIMER_PORTS, PORTS_PERIOD_MS);
    if (baud) {
        baud->addItem(QString::fromLatin1(kAutoDetect));
        for (uint32_t rate : od::kBaudRates) baud->addItem(QString::number(rate));
    }
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
        const QString portText = PortPath();
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
        g_pAppIni->trTimeout = TimeoutField(g_pAppIni->trTimeout);
    }
    CDialog::OnOK();
}

int CDlgConnection::TimeoutField(int fallback) const {
    const QString timeoutText = GetDlgItemText(IDC_TIMEOUT).trimmed();
    if (timeoutText.isEmpty() || timeoutText[0] < QChar('0') || timeoutText[0] > QChar('9')) return fallback;
    long long timeout = 0;  // saturates: a long run of digits is simply large
    for (QChar c : timeoutText) {
        if (c < QChar('0') || c > QChar('9')) break;
        timeout = std::min<long long>(timeout * 10 + (c.unicode() - '0'), CAppIni::kTrTimeoutMax + 1);
    }
    return CAppIni::LimitTrTimeout(int(timeout));
}

void CDlgConnection::FillPorts(const std::vector<SerialPortInfo>& ports) {
    auto* port = Item<QComboBox>(IDC_PORT);
    m_ports = ports;
    if (!port) return;
    port->setUpdatesEnabled(false);
    port->clear();
    int widest = 0;
    for (const SerialPortInfo& p : ports) {
        const QString text = QString::fromLocal8Bit(PortDisplayText(p).c_str());
        port->addItem(text, QString::fromLocal8Bit(p.path.c_str()));
        widest = std::max(widest, port->fontMetrics().horizontalAdvance(text));
    }
    // The entries are wider than the field: the drop-down list shows them whole.
    port->view()->setMinimumWidth(widest + 2 * port->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    port->setUpdatesEnabled(true);
}

QString CDlgConnection::PortPath() const {
    auto* port = Item<QComboBox>(IDC_PORT);
    if (!port) return {};
    const QString text = port->currentText();
    const int index = port->findText(text);
    return index >= 0 ? port->itemData(index).toString() : text;
}

void CDlgConnection::RefreshPorts() {
    auto* port = Item<QComboBox>(IDC_PORT);
    if (!port) return;
    std::vector<SerialPortInfo> ports = ListSerialPorts(m_portRoot);
    auto same = [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return a.path == b.path && a.description == b.description;
    };
    if (std::equal(ports.begin(), ports.end(), m_ports.begin(), m_ports.end(), same)) return;
    // Not under the user's pointer: the open drop-down list is left alone
    // until it closes.
    if (port->view()->isVisible()) return;
    const QString text = port->currentText();
    const int shown = port->findText(text);
    const QString chosen = shown >= 0 ? port->itemData(shown).toString() : QString();
    QLineEdit* edit = port->lineEdit();
    const int cursor = edit ? edit->cursorPosition() : 0;
    FillPorts(ports);
    const int again = chosen.isEmpty() ? -1 : port->findData(chosen);
    if (again >= 0) {
        port->setCurrentIndex(again);
    } else {
        // A typed path (or an entry whose port went) stays as it was.
        port->setEditText(text);
        if (edit) edit->setCursorPosition(cursor);
    }
}

void CDlgConnection::UsePort(const QString& path, unsigned rate) {
    if (auto* port = Item<QComboBox>(IDC_PORT)) {
        const int index = port->findData(path);
        if (index >= 0) port->setCurrentIndex(index);
        else port->setEditText(path);
    }
    if (auto* baud = Item<QComboBox>(IDC_BAUD)) baud->setEditText(QString::number(rate));
    GotoDlgCtrl(IDOK);
}

void CDlgConnection::Diagnose() {
    if (m_diagnosis && m_diagnosis->IsRunning()) {
        m_diagnosis->raise();
        return;
    }
    if (m_diagnosis) m_diagnosis->deleteLater();
    DoctorRequest request;
    request.port = PortPath().toLocal8Bit().toStdString();
    request.baud = 0;  // every rate: a module at another rate is what it looks for
    request.timeoutMs = TimeoutField(g_pAppIni ? g_pAppIni->trTimeout : 30);
    request.deviceId = int(ParseUnsigned(GetDlgItemText(IDC_DEVICE_ID)));
    request.searchOtherPorts = true;
    // The doctor looks where the port list is read from.
    m_diagnosis = new CDlgDiagnosis(request, DoctorRoots::Under(m_portRoot), this);
    m_diagnosis->Create(this);
    connect(m_diagnosis.data(), &CDlgDiagnosis::UsePort, this, &CDlgConnection::UsePort);
    // Modal to this dialog only, and without a loop of its own: the window
    // (and the tool windows) go on while the doctor runs.
    m_diagnosis->setWindowModality(Qt::WindowModal);
    m_diagnosis->show();
    m_diagnosis->Start();
}

CDlgDiagnosis* CDlgConnection::Diagnosis() const { return m_diagnosis.data(); }

void CDlgConnection::OnCommand(int id) {
    if (id == IDC_DIAGNOSE) Diagnose();
    CDialog::OnCommand(id);
}

void CDlgConnection::OnTimer(int id) {
    if (id == TIMER_PORTS) RefreshPorts();
    CDialog::OnTimer(id);
}
