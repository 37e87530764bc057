#include "ui/charts/dlg_probe.h"

#include "app/app_ini.h"
#include "app/display_math.h"
#include "app/number_parse.h"
#include "app/probe_file.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/charts/probe_plot.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/message_box.h"

#include <QFile>
#include <QPushButton>
#include <QResizeEvent>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

namespace {

const ControlDef kControls[] = {
    {CDlgProbe::IDC_SOURCE, ControlKind::ComboDropList, "", 7, 7, 148, 30, CS_TABSTOP | CS_VSCROLL},
    {CDlgProbe::IDC_PROBE, ControlKind::PushButton, "Probe", 159, 7, 50, 14, CS_TABSTOP},
    {CDlgProbe::IDC_REPEAT, ControlKind::CheckBox, "Repeat", 215, 9, 39, 10, CS_TABSTOP},
    {-1, ControlKind::Static, "Sampling Delay:", 263, 9, 52, 8},
    {CDlgProbe::IDC_DELAY, ControlKind::Edit, "", 319, 7, 40, 14, CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP},
    {CDlgProbe::IDC_READOUT, ControlKind::RichEdit, "", 365, 7, 150, 14, CS_BORDER | CS_READONLY | CS_CENTER},
    {CDlgProbe::IDC_STATUS, ControlKind::Edit, "", 521, 7, 103, 14, CS_BORDER | CS_READONLY | CS_AUTOHSCROLL},
    {CDlgProbe::IDC_SAVE, ControlKind::PushButton, "Save", 628, 7, 50, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate{CDlgProbe::IDD,     "Probe Dialog", 685, 270, false, kControls,
                               std::size(kControls)};

// One poll counter for the whole program.
int g_pollCounter = 0;

const QColor kBlack(0, 0, 0);

QString AutoText(double v) { return QString::fromStdString(FormatAutoPrecision(v)); }

}  // namespace

const DialogTemplate& CDlgProbe::WindowTemplate() { return kTemplate; }

int CDlgProbe::PollCounter() { return g_pollCounter; }

CDlgProbe::CDlgProbe() : CToolWindow(kTemplate) {}

CDlgProbe::~CDlgProbe() { DestroyWindow(); }

CToolWindow::Placement CDlgProbe::PlacementKeys() const {
    if (g_pAppIni == nullptr) return {nullptr, nullptr, nullptr, nullptr};
    return {&g_pAppIni->bplotSx, &g_pAppIni->bplotSy, &g_pAppIni->bplotDx, &g_pAppIni->bplotDy};
}

bool CDlgProbe::OnInitDialog() {
    CToolWindow::OnInitDialog();
    for (int i = 0; i < od::kProbeKindCount; ++i) ComboInsertString(IDC_SOURCE, i, od::ProbeKindAt(i)->name);
    ComboSetCurSel(IDC_SOURCE, g_pAppIni ? g_pAppIni->bplotProbe : 5);
    SetDlgItemText(IDC_DELAY, QString::number(g_pAppIni ? g_pAppIni->bplotDelay : 1));
    SetDlgItemText(IDC_STATUS, QString());

    QWidget* probe = GetDlgItem(IDC_PROBE);
    m_plotTop = 2 * (probe ? probe->height() : 20);
    m_view = new CProbePlotView(this);
    m_view->SetDlgCtrlID(IDC_PLOT);
    m_view->SetData(m_buffer, m_valid, m_code);
    PlacePlot();
    m_view->show();
    return true;
}

void CDlgProbe::PlacePlot() {
    if (m_view == nullptr) return;
    m_view->setGeometry(0, m_plotTop, width(), std::max(0, height() - m_plotTop));
}

void CDlgProbe::resizeEvent(QResizeEvent* event) {
    CToolWindow::resizeEvent(event);
    PlacePlot();
}

void CDlgProbe::OnCommand(int id) {
    if (id == IDC_PROBE) RequestProbe();
    else if (id == IDC_SAVE) SavePlotData();
}

long CDlgProbe::OnControlNotify(int id, int code, QWidget* control) {
    (void)control;
    if (id != IDC_PLOT) return 0;
    switch (code) {
    case CProbePlotView::NotifyCursor: UpdateReadOut(); break;
    case CProbePlotView::NotifyRightClick: RightClick(); break;
    case CProbePlotView::NotifyDoubleClick: RequestProbe(); break;
    default: break;
    }
    return 0;
}

int CDlgProbe::Delay() const { return g_pAppIni ? g_pAppIni->bplotDelay : 1; }

void CDlgProbe::ClearBlock() {
    m_code = 0;
    m_total = 0;
    m_position = 0;
    m_missing = 0;
    m_readOutMs = 0;
    m_chunkFailedAt = 0;
    std::fill(std::begin(m_buffer), std::end(m_buffer), 0);
    std::fill(std::begin(m_valid), std::end(m_valid), 0);
    if (m_view) m_view->SetData(m_buffer, m_valid, m_code);
}

void CDlgProbe::RequestProbe() {
    if (g_pObjectAccess == nullptr) return;

    const IntParse parsed = ParseInteger(GetDlgItemText(IDC_DELAY).trimmed().toStdString(), INT64_MIN, INT64_MAX);
    int32_t delay = parsed.status == ParseStatus::NotANumber ? 1 : ClampToInt32(parsed.value);
    delay = std::clamp(delay, 1, 100);
    if (g_pAppIni) g_pAppIni->bplotDelay = delay;

    int row = ComboGetCurSel(IDC_SOURCE);
    if (row < 0 || row >= od::kProbeKindCount) row = 0;
    if (g_pAppIni) g_pAppIni->bplotProbe = row;
    const od::ProbeKind& kind = *od::ProbeKindAt(row);

    bool accepted = false;
    for (int attempt = 0; attempt < kRequestAttempts && !accepted; ++attempt) {
        int32_t value = delay;
        if (g_pObjectAccess) g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_PROBE_DELAY, &value);
        int32_t command = kind.command;
        if (g_pObjectAccess) g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_COMMAND, &command);
        if (g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &m_status, 1))
            accepted = (m_status & static_cast<int32_t>(od::STATUS_PROBE_KIND_MASK)) == kind.statusCode;
    }
    if (!accepted) return;

    // A block still being read is abandoned: finishing it later would end the
    // new probe with its command 1000.
    KillTimer(TIMER_READ);
    if (!IsDlgItemFocused(IDC_DELAY)) SetDlgItemText(IDC_DELAY, QString::number(delay));
    SetDlgItemText(IDC_STATUS, "Probe Request");
    SetTimer(TIMER_POLL, kPollMs);
    ClearBlock();
}

void CDlgProbe::OnTimer(int id) {
    switch (id) {
    case TIMER_POLL: PollStatus(); break;
    case TIMER_READ: ReadBlock(); break;
    case TIMER_REPEAT:
        KillTimer(TIMER_REPEAT);
        if (IsWindowVisible()) RequestProbe();
        break;
    default: break;
    }
}

void CDlgProbe::PollStatus() {
    // Without a connection polling ends. A single failed read does not: it
    // counts as a poll, so a lost reply neither strands the request at
    // "Probe Request" nor ends Repeat; the 300-poll time-out still bounds it.
    if (g_pObjectAccess == nullptr) KillTimer(TIMER_POLL);
    else (void)g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &m_status, 1);
    if (m_status & static_cast<int32_t>(od::STATUS_PROBE_READY)) {
        KillTimer(TIMER_POLL);
        ClearBlock();
        SetDlgItemText(IDC_STATUS, "Data Reading");
        m_code = m_status & static_cast<int32_t>(od::STATUS_PROBE_KIND_MASK);
        const int row = od::ProbeKindPosition(m_code);
        m_total = row < 0 ? 0 : od::ProbeKindAt(row)->Total();
        m_total = std::min<int32_t>(m_total, kProbeBufferSize);
        m_position = 0;
        SetTimer(TIMER_READ, kReadMs);
        g_pollCounter = 0;
        return;
    }
    if (++g_pollCounter <= kMaxPolls) return;
    KillTimer(TIMER_POLL);
    g_pollCounter = 0;
    if (IsDlgButtonChecked(IDC_REPEAT)) RequestProbe();
}

void CDlgProbe::ReadBlock() {
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&start] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    while (m_position < m_total) {
        const od::ProbeRun run = od::ProbeRunAt(m_position, m_total);
        const int n = run.count;
        bool ok = false;
        if (g_pObjectAccess) {
            ok = g_pObjectAccess->GetObjectXXX(OBJ_INT32, run.object, run.subIndex, &m_buffer[m_position], n);
            if (!ok) {
                // Tried again on the next ticks until the retry time is over.
                const uint32_t now = GetTickCountMs();
                if (m_chunkFailedAt == 0) m_chunkFailedAt = now == 0 ? 1 : now;
                if (now - m_chunkFailedAt < static_cast<uint32_t>(kChunkRetryMs)) {
                    m_readOutMs += elapsed();
                    return;
                }
            }
        }
        m_chunkFailedAt = 0;
        std::fill(m_valid + m_position, m_valid + m_position + n, ok ? 1 : 0);
        if (!ok) m_missing += n;
        m_position += n;
    }
    m_readOutMs += elapsed();
    m_lastReadOutMs = m_readOutMs;

    KillTimer(TIMER_READ);
    int32_t end = od::CMD_PROBE_END;
    if (g_pObjectAccess) g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_COMMAND, &end);
    // A block with chunks that could not be read is not passed off as complete.
    SetDlgItemText(IDC_STATUS, m_missing > 0 ? "Probe Incomplete" : "Probe Complete");
    if (m_view) {
        m_view->Plot().ResetPlot();
        m_view->Plot().LayoutForSource(m_code, m_buffer, Delay(), m_valid);
        m_view->SetData(m_buffer, m_valid, m_code);
        m_view->Refresh();
    }
    if (IsDlgButtonChecked(IDC_REPEAT)) SetTimer(TIMER_REPEAT, kRepeatMs);
}

void CDlgProbe::RightClick() {
    if (m_view == nullptr) return;
    if (m_code != 0) {
        m_view->Plot().LayoutForSource(m_code, m_buffer, Delay(), m_valid);
        m_view->Refresh();
    } else {
        ClearBlock();
        m_view->Plot().ResetPlot();
        m_view->Refresh();
    }
}

void CDlgProbe::UpdateReadOut() {
    const double f = m_view ? m_view->CursorIndex() : -1.0;
    const int row = od::ProbeKindPosition(m_code);
    RichEditClear(IDC_READOUT);
    if (f < 0 || row < 0) return;
    const od::ProbeKind& kind = *od::ProbeKindAt(row);
    const ProbeDrawing& s = kProbeDrawings[row];
    RichEditAppend(IDC_READOUT, AutoText(XStepForDelay(s, Delay()) * f), kBlack);
    RichEditAppend(IDC_READOUT, " : ", kBlack);
    const int i = static_cast<int>(f);
    const double t = f - i;
    if (i < 0 || i >= kind.samples - 1) return;
    PlotRgb colours[4] = {kDefaultChannelColors[0], kDefaultChannelColors[1], kDefaultChannelColors[2],
                          kDefaultChannelColors[3]};
    ColorsFromLegend(colours, s.legend);
    for (int c = 0; c < kind.channels && c < 4; ++c) {
        const int n = c * kind.samples + i;
        const QColor colour(colours[c].r, colours[c].g, colours[c].b);
        if (n + 1 < kProbeBufferSize && m_valid[n] && m_valid[n + 1]) {
            const double v = ((1 - t) * m_buffer[n] + t * m_buffer[n + 1]) * kind.scale;
            RichEditAppend(IDC_READOUT, AutoText(v), colour);
        } else {
            RichEditAppend(IDC_READOUT, "-", colour);  // a value that was not read
        }
        if (c + 1 < kind.channels) RichEditAppend(IDC_READOUT, ", ", kBlack);
    }
}

void CDlgProbe::SavePlotData() {
    // Only a whole block is saved: one being read, or one that misses values,
    // would look like a complete block of zeros in the file.
    if (m_code != 0 && m_position < m_total) {
        ShowWarning(this, "The probe block is still being read. Save it when the probe is complete.");
        return;
    }
    if (m_code != 0 && m_missing > 0) {
        ShowWarning(this, QString("The probe block is incomplete: %1 of %2 values could not be read. "
                                  "It is not saved; probe again.")
                              .arg(m_missing)
                              .arg(m_total));
        return;
    }
    QString path;
    if (m_prompt) {
        if (!m_prompt(path)) return;
    } else {
        SaveFileRequest request;
        request.filter = "Plot Files (*.csv)|*.csv|All Files (*.*)|*.*||";
        request.defaultSuffix = "csv";
        request.initialPath = "plot_data.csv";
        request.filterIndex = 0;
        request.overwritePrompt = true;
        path = GetSaveFileName(this, request);
        if (path.isEmpty()) return;
    }
    if (!WriteFile(path)) ShowError(this, QString("The file \"%1\" cannot be created.").arg(path));
}

bool CDlgProbe::WriteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const int row = od::ProbeKindPosition(m_code);
    if (row >= 0) {
        const std::string text = FormatProbeFile(*od::ProbeKindAt(row), m_buffer);
        if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
            return false;
    }
    return file.flush();
}
