#include "ui/main/dlg_diagnosis.h"

#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QMetaObject>
#include <QTextEdit>

namespace {

// Template 180, positions in dialog units.
const ControlDef kControls180[] = {
    {CDlgDiagnosis::IDC_REPORT, ControlKind::RichEdit, "", 7, 7, 346, 164, CS_VSCROLL | CS_BORDER | CS_TABSTOP},
    {CDlgDiagnosis::IDC_STEP, ControlKind::Static, "", 7, 175, 346, 8},
    {CDlgDiagnosis::IDC_PROGRESS, ControlKind::Progress, "", 7, 191, 120, 10},
    {CDlgDiagnosis::IDC_COPY, ControlKind::PushButton, "Copy", 140, 189, 50, 14, CS_TABSTOP},
    {CDlgDiagnosis::IDC_USE_PORT, ControlKind::PushButton, "Use This Port", 194, 189, 100, 14,
     CS_TABSTOP | CS_DISABLED},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 303, 189, 50, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate180{CDlgDiagnosis::IDD, CDlgDiagnosis::kTitle, 360, 210, false, kControls180,
                                  int(sizeof(kControls180) / sizeof(kControls180[0]))};

QColor LineColour(DoctorLineKind kind) {
    switch (kind) {
    case DoctorLineKind::Problem: return QColor(0xC0, 0x00, 0x00);
    case DoctorLineKind::Fix: return QColor(0x00, 0x30, 0xA0);
    case DoctorLineKind::Ok:
    case DoctorLineKind::Answer: return QColor(0x00, 0x70, 0x00);
    case DoctorLineKind::Note: return QColor(0x80, 0x60, 0x00);
    case DoctorLineKind::Heading:
    case DoctorLineKind::Detail: break;
    }
    return QColor();
}

}  // namespace

const DialogTemplate& CDlgDiagnosis::DialogTemplate180() { return kTemplate180; }

CDlgDiagnosis::CDlgDiagnosis(const DoctorRequest& request, const DoctorRoots& roots, QWidget* parent)
    : CDialog(kTemplate180, parent), m_request(request), m_roots(roots) {}

CDlgDiagnosis::~CDlgDiagnosis() {
    m_cancel = true;
    if (m_worker.joinable()) m_worker.join();
}

bool CDlgDiagnosis::OnInitDialog() {
    CDialog::OnInitDialog();
    if (auto* text = Item<QTextEdit>(IDC_REPORT)) {
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        text->setLineWrapMode(QTextEdit::WidgetWidth);
    }
    SetFixedPitchFont(IDC_REPORT, 9);
    return true;
}

void CDlgDiagnosis::Start() {
    if (m_running || m_worker.joinable()) return;
    m_running = true;
    SetProgressRange(IDC_PROGRESS, 0, 0);  // a moving bar: the steps are not known ahead
    SetDlgItemText(IDC_STEP, QStringLiteral("Diagnosing %1 ...").arg(QString::fromLocal8Bit(m_request.port.c_str())));
    m_worker = std::thread([this] {
        DoctorProgress progress;
        progress.cancel = &m_cancel;
        // Lines and steps go to the window's thread; a window that is gone
        // first waits for this thread, so `this` outlives every call.
        progress.line = [this](const DoctorLine& line) {
            QMetaObject::invokeMethod(this, [this, line] { ShowLine(line); }, Qt::QueuedConnection);
        };
        progress.step = [this](const std::string& step) {
            const QString text = QString::fromLocal8Bit(step.c_str());
            QMetaObject::invokeMethod(this, [this, text] { ShowStep(text); }, Qt::QueuedConnection);
        };
        auto report = std::make_shared<DoctorReport>(Diagnose(m_request, m_roots, progress));
        QMetaObject::invokeMethod(this, [this, report] { OnFinished(*report); }, Qt::QueuedConnection);
    });
}

void CDlgDiagnosis::Cancel() {
    if (!m_running) return;
    m_cancel = true;
    SetDlgItemText(IDC_STEP, QStringLiteral("Cancelling ..."));
}

void CDlgDiagnosis::ShowLine(const DoctorLine& line) {
    RichEditAppend(IDC_REPORT, QString::fromLocal8Bit(line.text.c_str()) + QLatin1Char('\n'), LineColour(line.kind));
}

void CDlgDiagnosis::ShowStep(const QString& step) {
    if (m_running && !m_cancel) SetDlgItemText(IDC_STEP, step.left(1).toUpper() + step.mid(1) + QStringLiteral(" ..."));
}

void CDlgDiagnosis::OnFinished(const DoctorReport& report) {
    if (m_worker.joinable()) m_worker.join();
    m_running = false;
    m_report = report;
    SetProgressRange(IDC_PROGRESS, 0, 1);
    SetProgressPos(IDC_PROGRESS, 1);
    QString summary;
    if (report.cancelled)
        summary = QStringLiteral("Cancelled.");
    else if (!report.modulePort.empty())
        summary = QStringLiteral("A module answers on %1 at %2 bit/s.")
                      .arg(QString::fromLocal8Bit(report.modulePort.c_str()))
                      .arg(report.moduleRate);
    else
        summary = QStringLiteral("No module answered.");
    SetDlgItemText(IDC_STEP, summary);
    EnableDlgItem(IDC_USE_PORT, !report.cancelled && !report.modulePort.empty());
    SetDlgItemText(IDCANCEL, QStringLiteral("Close"));
    emit Finished();
}

QString CDlgDiagnosis::Text() const {
    auto* text = Item<QTextEdit>(IDC_REPORT);
    return text ? text->toPlainText() : QString();
}

void CDlgDiagnosis::OnCommand(int id) {
    if (id == IDC_COPY) {
        if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(Text());
    } else if (id == IDC_USE_PORT && !m_running && !m_report.modulePort.empty()) {
        emit UsePort(QString::fromLocal8Bit(m_report.modulePort.c_str()), m_report.moduleRate);
        EndDialog(IDOK);
    }
    CDialog::OnCommand(id);
}

void CDlgDiagnosis::OnCancel() {
    // While the doctor runs, Cancel (and Escape, and the close box) stops it
    // and keeps its lines on screen; afterwards it closes the window.
    if (m_running) {
        Cancel();
        return;
    }
    CDialog::OnCancel();
}
