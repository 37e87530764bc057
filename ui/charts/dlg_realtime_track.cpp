#include "ui/charts/dlg_realtime_track.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "app/number_parse.h"
#include "chart/chart_time.h"
#include "chart/track_chart.h"
#include "chart/xy_chart.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/tick.h"
#include "ui/charts/chart_viewer.h"
#include "ui/toolkit/file_dialog.h"
#include "ui/toolkit/message_box.h"

#include <QIcon>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const ControlDef kControls[] = {
    {CDlgRealtimeTrack::IDC_QUANTITY, ControlKind::ComboDropList, "", 7, 6, 125, 106, CS_TABSTOP | CS_VSCROLL},
    // Run and Freeze: one group of push-like radio buttons showing icons.
    {CDlgRealtimeTrack::IDC_RUN, ControlKind::RadioButton, "Run", 142, 4, 17, 16,
     CS_TABSTOP | CS_GROUP | CS_PUSHLIKE | CS_ICON},
    {CDlgRealtimeTrack::IDC_FREEZE, ControlKind::RadioButton, "Freeze", 161, 4, 17, 16, CS_PUSHLIKE | CS_ICON},
    {-1, ControlKind::Static, "Update period:", 186, 8, 48, 8},
    {CDlgRealtimeTrack::IDC_PERIOD, ControlKind::ComboDropList, "", 235, 5, 32, 38, CS_TABSTOP | CS_VSCROLL},
    {-1, ControlKind::Static, "ms", 271, 8, 10, 8},
    {CDlgRealtimeTrack::IDC_EXPORT, ControlKind::PushButton, "Export Records", 314, 5, 56, 14, CS_TABSTOP},
    {CDlgRealtimeTrack::IDC_RECORD_COUNT, ControlKind::Edit, "", 373, 5, 50, 14,
     CS_READONLY | CS_HIDDEN | CS_AUTOHSCROLL | CS_BORDER},
    {CDlgRealtimeTrack::IDC_CHART_VIEWER, ControlKind::Picture, "", -1, 23, 13, 15},
};

const DialogTemplate kTemplate{CDlgRealtimeTrack::IDD, "Chart", 431, 252, false, kControls,
                               static_cast<int>(sizeof kControls / sizeof kControls[0])};

const char* const kPeriods[] = {"10", "25", "50", "100", "250", "500", "1000"};
constexpr int kDefaultPeriodIndex = 1;  // "25"

int g_updatePeriod = 25;  // every start begins with 25 ms; not a setting

constexpr double kNoValue = tchart::NoValue;

// The legend's names of the three curves of each quantity, in list order.
const char* const kCurveNames[od::kChartQuantityCount][3] = {
    {"roll", "pitch", "yaw"},  {"gyro x", "gyro y", "gyro z"}, {"magn x", "magn y", "magn z"},
    {"accl x", "accl y", "accl z"}, {"accl x", "accl y", "accl z"}, {"vel x", "vel y", "vel z"},
    {"pos x", "pos y", "pos z"},
};

}  // namespace

const DialogTemplate& CDlgRealtimeTrack::WindowTemplate() { return kTemplate; }
int CDlgRealtimeTrack::UpdatePeriod() { return g_updatePeriod; }

CDlgRealtimeTrack::CDlgRealtimeTrack() : CToolWindow(kTemplate) {
    m_time.fill(kNoValue);
    m_x.fill(kNoValue);
    m_y.fill(kNoValue);
    m_z.fill(kNoValue);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app_128.png")));
}

CDlgRealtimeTrack::~CDlgRealtimeTrack() { DestroyWindow(); }

CToolWindow::Placement CDlgRealtimeTrack::PlacementKeys() const {
    if (g_pAppIni == nullptr) return {nullptr, nullptr, nullptr, nullptr};
    return {&g_pAppIni->chartSx, &g_pAppIni->chartSy, &g_pAppIni->chartDx, &g_pAppIni->chartDy};
}

bool CDlgRealtimeTrack::OnInitDialog() {
    // The viewer takes the place of the template's placeholder.
    m_viewer = new CChartViewer(this);
    ReplaceDlgItem(IDC_CHART_VIEWER, m_viewer);
    m_viewer->move(DuToPx(-1, 23, 13, 15).topLeft());
    connect(m_viewer, &CChartViewer::Notify, this, &CDlgRealtimeTrack::OnViewerNotify);

    SetRunFreezeIcons(IDC_RUN, IDC_FREEZE);

    // 1. The quantities.
    for (int i = 0; i < od::kChartQuantityCount; ++i)
        ComboAddString(IDC_QUANTITY, QString::fromUtf8(od::ChartQuantities()[i].name));
    m_quantity = 0;
    ComboSetCurSel(IDC_QUANTITY, 0);
    // 2. Sampling at the current period.
    SetTimer(kTimerAcquire, g_updatePeriod);
    // 3. The periods, "25" selected.
    for (const char* p : kPeriods) ComboAddString(IDC_PERIOD, QString::fromLatin1(p));
    ComboSetCurSel(IDC_PERIOD, kDefaultPeriodIndex);
    // 5. The filters' window, limited and stored back.
    if (g_pAppIni) {
        g_pAppIni->maf_window_size = std::clamp(g_pAppIni->maf_window_size, 1, 1000);
        for (MovingAverageFilter& f : m_filter) f.SetWindowSize(g_pAppIni->maf_window_size);
    }
    // 6. Running.
    CheckDlgButton(IDC_RUN, true);
    StartRun();
    // 7. Placement, minimum size and hiding on close.
    CToolWindow::OnInitDialog();
    return true;
}

// The window is never narrower than its top row (the record counter is its
// right end) and the row's left margin again, also when the stored or default
// width is less.
int CDlgRealtimeTrack::MinimumWidth() const {
    int rowRight = 0;
    for (const ControlDef& def : kControls)
        if (def.id != IDC_CHART_VIEWER) rowRight = std::max(rowRight, DuToPx(def.x, def.y, def.cx, def.cy).right() + 1);
    return std::max<int>(kMinWidth, rowRight + DuToPx(kControls[0].x, 0).width());
}

void CDlgRealtimeTrack::StartRun() {
    // The selected period in milliseconds (a "0x" or leading "0" prefix
    // chooses the base); a text that is no positive number keeps the period.
    const QByteArray text = GetDlgItemText(IDC_PERIOD).toLatin1();
    const IntParse period = ParseInteger(std::string_view(text.constData(), size_t(text.size())), 0,
                                         std::numeric_limits<int32_t>::max(), NumberBase::Prefixed, false);
    if (period.status != ParseStatus::NotANumber && period.value >= 1)
        g_updatePeriod = static_cast<int>(std::min<int64_t>(period.value, 60000));
    KillTimer(kTimerAcquire);
    SetTimer(kTimerAcquire, g_updatePeriod);
    SetTimer(kTimerRefresh, std::max(g_updatePeriod, 100));
}

void CDlgRealtimeTrack::OnCommand(int id) {
    switch (id) {
    case IDC_RUN: StartRun(); break;
    case IDC_FREEZE: KillTimer(kTimerRefresh); break;
    case IDC_EXPORT: ToggleRecording(); break;
    default: break;
    }
}

void CDlgRealtimeTrack::OnSelChange(int id) {
    if (id == IDC_QUANTITY) {
        ClearHistory();
        m_quantity = std::clamp(ComboGetCurSel(IDC_QUANTITY), 0, od::kChartQuantityCount - 1);
    } else if (id == IDC_PERIOD) {
        // While frozen the new period waits for Run.
        if (IsDlgButtonChecked(IDC_RUN)) {
            KillTimer(kTimerRefresh);
            StartRun();
        }
    }
}

void CDlgRealtimeTrack::OnTimer(int id) {
    if (id == kTimerAcquire) {
        if (IsWindowVisible()) AcquireSample();
        else ClearHistory();
    } else if (id == kTimerRefresh) {
        if (IsWindowVisible() && m_viewer) m_viewer->refreshViewPort(true, false);
    }
}

void CDlgRealtimeTrack::resizeEvent(QResizeEvent* event) {
    CToolWindow::resizeEvent(event);
    if (m_viewer) m_viewer->refreshViewPort(true, false);
}

void CDlgRealtimeTrack::ClearHistory() {
    if (m_time[kHistory - 1] == kNoValue && m_time[0] == kNoValue) return;  // nothing stored since
    m_time.fill(kNoValue);
    m_x.fill(kNoValue);
    m_y.fill(kNoValue);
    m_z.fill(kNoValue);
}

void CDlgRealtimeTrack::AcquireSample() {
    // Local wall-clock time as chart time, with its milliseconds.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const double stamp = tchart::chartTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                           local.tm_min, local.tm_sec) +
                         static_cast<double>(now.tv_nsec / 1000000) / 1000.0;

    if (g_pObjectAccess == nullptr) return;
    float v[3] = {0, 0, 0};
    if (!g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::ChartQuantities()[m_quantity].object, 0, v, 3)) return;
    const double x = m_filter[0].AddSample(v[0]);
    const double y = m_filter[1].AddSample(v[1]);
    const double z = m_filter[2].AddSample(v[2]);

    // Oldest out at index 0, newest in at the end.
    for (auto* a : {&m_time, &m_x, &m_y, &m_z}) std::copy(a->begin() + 1, a->end(), a->begin());
    m_time[kHistory - 1] = stamp;
    m_x[kHistory - 1] = x;
    m_y[kHistory - 1] = y;
    m_z[kHistory - 1] = z;

    if (m_recordCounter >= 1) {
        const int32_t tick = static_cast<int32_t>(GetTickCountMs());
        const std::string line = FormatC("%11d, %8.3f, %8.3f, %8.3f \r\n", tick, x, y, z);
        QString error;
        if (!AppendToCapture(line.data(), line.size(), error)) {
            // Nothing is counted that is not on disk.
            StopRecording(error);
            return;
        }
        SetDlgItemText(IDC_RECORD_COUNT, QString::number(static_cast<unsigned>(m_recordCounter)));
        ++m_recordCounter;
    }
}

// Appends one whole line to the capture file and closes it again, so the
// file is complete on disk after every line. A write that fails part way is
// cut back off, so a line is never left half written or written twice.
bool CDlgRealtimeTrack::AppendToCapture(const char* text, size_t size, QString& error) {
    const QByteArray path = m_capturePath.toLocal8Bit();
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = QStringLiteral("The capture file \"%1\" cannot be opened: %2.")
                    .arg(m_capturePath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st {};
    const off_t start = fstat(fd, &st) == 0 ? st.st_size : -1;
    size_t done = 0;
    int err = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, text + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (err != 0 && done > 0 && start >= 0) {
        if (ftruncate(fd, start) != 0) err = errno;
    }
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        error = QStringLiteral("Writing the capture file \"%1\" failed: %2.")
                    .arg(m_capturePath, QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    return true;
}

void CDlgRealtimeTrack::StopRecording(const QString& why) {
    m_recordCounter = 0;
    SetDlgItemText(IDC_EXPORT, QStringLiteral("Export Records"));
    ShowDlgItem(IDC_RECORD_COUNT, false);
    m_recordError = why;
    if (!why.isEmpty()) {
        // Said at once, without a modal loop: sampling and the other windows go on.
        if (QWidget* box = ShowMessageBoxModeless(this, why + QStringLiteral("\nRecording has stopped."),
                                                  MsgIcon::Warning))
            box->setObjectName(QStringLiteral("recordingError"));
    }
}

bool CDlgRealtimeTrack::AskPath(QString& path) {
    if (m_prompt) return m_prompt(path);
    SaveFileRequest request;
    request.filter = QStringLiteral("Capture Files (*.csv)|*.csv|All Files (*.*)|*.*|");
    request.defaultSuffix = QStringLiteral("csv");
    request.initialPath = path;
    const QString chosen = GetSaveFileName(this, request);  // blocks this window only
    if (chosen.isEmpty()) return false;
    path = chosen;
    return true;
}

void CDlgRealtimeTrack::ToggleRecording() {
    if (m_recordCounter >= 1) {
        StopRecording(QString());
        return;
    }
    QString path = m_capturePath;
    if (!AskPath(path)) return;
    m_capturePath = path;
    m_recordError.clear();
    ::unlink(m_capturePath.toLocal8Bit().constData());  // a new recording starts a new file
    m_recordCounter = 1;
    SetDlgItemText(IDC_EXPORT, QStringLiteral("Stop Recording"));
    SetDlgItemText(IDC_RECORD_COUNT, QString());
    ShowDlgItem(IDC_RECORD_COUNT, true);
    static const char kHeader[] = "time[ms], x-axis, y-axis, z-axis\r\n";
    QString error;
    if (!AppendToCapture(kHeader, sizeof kHeader - 1, error)) StopRecording(error);
}

void CDlgRealtimeTrack::OnViewerNotify(int id, int code) {
    if (id == IDC_CHART_VIEWER && code == CChartViewer::CVN_ViewPortChanged) BuildChart();
}

void CDlgRealtimeTrack::BuildChart() {
    const int w = width(), h = height();
    QWidget* exportButton = GetDlgItem(IDC_EXPORT);
    const int b = exportButton ? exportButton->height() : 0;
    const QColor bg = palette().color(QPalette::Window);
    const uint32_t bgColor = (static_cast<uint32_t>(bg.red()) << 16) | (static_cast<uint32_t>(bg.green()) << 8) |
                             static_cast<uint32_t>(bg.blue());

    tchart::TrackChartInput in;
    in.clientWidth = w;
    in.clientHeight = h;
    in.buttonHeight = b;
    in.background = bgColor;
    in.title = od::ChartQuantities()[m_quantity].name;
    for (int k = 0; k < 3; ++k) in.names[k] = kCurveNames[m_quantity][k];
    in.periodMs = g_updatePeriod;
    if (m_time[kHistory - 1] != kNoValue && g_pAppIni) {
        // Limited and stored back whenever a chart with data is built.
        g_pAppIni->precision = std::clamp(g_pAppIni->precision, 0, 6);
    }
    in.precision = g_pAppIni ? g_pAppIni->precision : 3;
    in.time = m_time.data();
    in.x = m_x.data();
    in.y = m_y.data();
    in.z = m_z.data();
    in.count = kHistory;
    tchart::XYChart c = tchart::BuildTrackChart(in);
    // The viewer keeps its own counted copy; ours goes at the end of this scope.
    m_viewer->showChart(&c);
    ++m_chartsBuilt;
}
