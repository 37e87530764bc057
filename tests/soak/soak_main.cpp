// tarvik-soak: the main window, after the program's own start-up, against tarvik-sim
// for a long time with faults injected: noisy, dropped and spoiled replies
// all the time (simulator options) and the module unplugged for a few
// seconds every few minutes (its control FIFO). Sync Run stays on for the
// whole run with its export file; the run alternates between the Sync data
// tab (the stream alone on the line) and the AHRS tab with the Chart window
// shown and recording to its capture file. Open descriptors and memory are
// reported at the start, every few minutes and at the end; afterwards the
// export file is checked line by line against the simulator's sync log and
// the capture file for whole lines and gaps.
//
//   tarvik-soak [--minutes M] [--phase S] [--unplug-every S] [--unplug-for S]
//               [--report-every S] [--keep DIR]
//
// Exit status 0 when descriptors and memory stayed flat and no line was
// lost, doubled or split outside the times the checks can explain.
#include "device/object_access.h"
#include "device/connection.h"
#include "device/tick.h"
#include "tests/support/child_process.h"
#include "ui/charts/dlg_realtime_track.h"
#include "ui/main/tarvik_ui_dlg.h"
#include "ui/shell/process_lifetime.h"
#include "ui/shell/tarvik_ui_app.h"
#include "ui/toolkit/tab_dialog.h"
#include "ui/views/dlg_main_sync.h"

#include <QEventLoop>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Options {
    double minutes = 60;
    double phase = 50;        // seconds on each of the two tabs
    double unplugEvery = 170; // seconds between unplugs (not a multiple of the phase: both tabs get them)
    double unplugFor = 3;
    double reportEvery = 120;
    std::string keep;         // folder to copy the files to
};

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
        --n;  // the one opendir holds
    }
    return n;
}

long VmRssKb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Lines ended by CR LF; the tail without one is returned in `rest`.
std::vector<std::string> SplitLines(const std::string& text, std::string* rest) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t p; (p = text.find("\r\n", at)) != std::string::npos; at = p + 2) lines.push_back(text.substr(at, p - at));
    if (rest) *rest = text.substr(at);
    return lines;
}

// Module time (ms) of a sync line "time,N,...", or -1 (also for a line
// whose time field was cut, such as "time,172time,17305,...").
long LineTime(const std::string& line) {
    if (line.rfind("time,", 0) != 0) return -1;
    size_t end = 5;
    while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    if (end == 5 || end >= line.size() || line[end] != ',') return -1;
    return std::atol(line.c_str() + 5);
}

struct Interval {
    double from, to;  // seconds since the start of the run
    bool Covers(double t, double margin) const { return t >= from - margin && t <= to + margin; }
};

bool InAny(const std::vector<Interval>& v, double t, double margin) {
    return std::any_of(v.begin(), v.end(), [&](const Interval& i) { return i.Covers(t, margin); });
}

// The longest stretch of [a, b] that none of the intervals covers.
double LongestUncovered(double a, double b, std::vector<Interval> cover) {
    std::sort(cover.begin(), cover.end(), [](const Interval& x, const Interval& y) { return x.from < y.from; });
    double longest = 0, at = a;
    for (const auto& c : cover) {
        if (c.to <= at) continue;
        if (c.from >= b) break;
        longest = std::max(longest, c.from - at);
        at = std::max(at, c.to);
    }
    return std::max(longest, b - at);
}

// Why a sync line of the module's time `at` (seconds) is missing from the
// export file.
enum class Cause { Unplug, ChartPhase, NotReopened, Unexplained };
constexpr double kClockMargin = 0.5;  // the clocks of the two processes and the reception tick
constexpr double kReopen = 1.5;       // after a replug: the back-off of a failed exchange and the next request

Cause Classify(double at, const std::vector<Interval>& unplugged, const std::vector<Interval>& chart) {
    for (const auto& u : unplugged)
        if (at >= u.from - kClockMargin && at <= u.to + kReopen) return Cause::Unplug;
    if (InAny(chart, at, kClockMargin)) return Cause::ChartPhase;
    // On the Sync tab nothing sends a request, so after a replug nothing opens
    // the port again until the Chart phase does.
    for (const auto& u : unplugged) {
        if (at < u.to) continue;
        bool chartBetween = false;
        for (const auto& c : chart)
            if (c.to > u.to && c.from < at) chartBetween = true;
        if (!chartBetween) return Cause::NotReopened;
    }
    return Cause::Unexplained;
}

void RunFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--minutes" && hasValue) o.minutes = std::atof(argv[++i]);
        else if (a == "--phase" && hasValue) o.phase = std::atof(argv[++i]);
        else if (a == "--unplug-every" && hasValue) o.unplugEvery = std::atof(argv[++i]);
        else if (a == "--unplug-for" && hasValue) o.unplugFor = std::atof(argv[++i]);
        else if (a == "--report-every" && hasValue) o.reportEvery = std::atof(argv[++i]);
        else if (a == "--keep" && hasValue) o.keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: tarvik-soak [--minutes M] [--phase S] [--unplug-every S] [--unplug-for S] "
                                 "[--report-every S] [--keep DIR]\n");
            return 2;
        }
    }

    CTempDir dir;
    const std::string link = dir.File("ttySIM"), control = dir.File("control"), syncLog = dir.File("sync-log");
    const std::string exportFile = dir.File("records.csv"), capture = dir.File("capture.csv");
    {
        std::ofstream ini(dir.File("TARVIK_UI.ini"));
        ini << "[Property]\ncomPort=\"" << link << "\"\ncomBaudrate=115200\nchartWinShow=1\nmainTabSel=0\n"
            << "startSync=0\nsync_file=\"" << exportFile << "\"\n";
    }
    // The program's own start-up up to the main window, with this settings
    // file (kept as it is) and none of the harness's options.
    int shellArgc = 1;
    char* shellArgv[] = {argv[0], nullptr};
    CProcessLifetime process(shellArgc, shellArgv, dir.File("TARVIK_UI.ini"), false);
    if (!process.App().StartUp(process.Timer())) return 1;

    CSimProcess sim;
    // 20 ms sync period with time and attitude: a 45-byte line takes 4 ms at
    // 115200 bit/s, so every line fits on the wire beside the replies.
    if (!sim.Start(link, {"--force", "sd=0x41", "--force", "sp=20", "--sync-log", syncLog, "--control", control,
                          "--drop-replies", "0.002", "--corrupt-checksum", "0.002", "--noise-before-stx", "0.01"})) {
        std::fprintf(stderr, "tarvik-sim: %s\n", sim.Error().c_str());
        return 1;
    }
    const uint32_t tick0 = GetTickCountMs();  // about the module's time 0
    auto now = [&] { return (GetTickCountMs() - tick0) / 1000.0; };
    const int controlFd = ::open(control.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (controlFd < 0) {
        std::fprintf(stderr, "cannot open the control FIFO %s: %s\n", control.c_str(), std::strerror(errno));
        return 1;
    }

    const int fd0 = OpenDescriptors();
    const long rss0 = VmRssKb();
    std::printf("before the window: %d descriptors, VmRSS %ld kB\n", fd0, rss0);

    auto dlg = std::make_unique<CTARVIK_UIDlg>();
    if (!dlg->Create()) {
        std::fprintf(stderr, "the main window was not created\n");
        return 1;
    }
    dlg->show();
    RunFor(1);
    if (!g_pObjectAccess) {
        std::fprintf(stderr, "the main window did not connect to tarvik-sim\n");
        return 1;
    }
    CDlgRealtimeTrack* chart = dlg->ChartWindow();
    CDlgMainSync* sync = dlg->SyncPage();
    chart->SetPathPrompt([&](QString& p) {
        p = QString::fromStdString(capture);
        return true;
    });
    chart->ToggleRecording();
    sync->CheckDlgButton(CDlgMainSync::IDC_RUN, true);
    sync->OnCommand(CDlgMainSync::IDC_RUN);

    std::vector<Interval> unplugged, chartShown;
    int phaseNo = 0;
    double phaseStart = now();
    auto selectPhase = [&](int n) {
        const double t = now();
        if (n % 2 == 0) {
            dlg->TabHost()->SelectTab(CTARVIK_UIDlg::kSyncTab);
            // The main window hides the Chart window at its next status tick.
            if (!chartShown.empty() && chartShown.back().to < 0)
                chartShown.back().to = t + static_cast<int>(CTARVIK_UIDlg::STATUS_PERIOD_MS) / 1000.0 + 0.05;
        } else {
            dlg->TabHost()->SelectTab(0);
            chartShown.push_back({t, -1});
        }
        phaseStart = t;
    };
    chartShown.push_back({0, -1});  // the window opened on the AHRS tab with the Chart window
    selectPhase(0);

    // Each exchange that received nothing (a reply the simulator dropped on
    // purpose) starts the 1 s back-off, in which the Chart window records
    // nothing: its mark, in seconds since the start, explains such a gap.
    std::vector<double> noReplyMarks;
    uint32_t lastNoReply = 0;
    QTimer backOffTimer;
    QObject::connect(&backOffTimer, &QTimer::timeout, [&] {
        const uint32_t mark = g_pObjectAccess ? g_pObjectAccess->NoReplyTime() : 0;
        if (mark != 0 && mark != lastNoReply) noReplyMarks.push_back(int32_t(mark - tick0) / 1000.0);
        lastNoReply = mark;
    });
    backOffTimer.start(100);
    const double timeoutS = g_pObjectAccess->TransactionTimeout() / 1000.0;

    QTimer phaseTimer, unplugTimer, reportTimer;
    QObject::connect(&phaseTimer, &QTimer::timeout, [&] { selectPhase(++phaseNo); });
    phaseTimer.start(static_cast<int>(o.phase * 1000));
    QObject::connect(&unplugTimer, &QTimer::timeout, [&] {
        char line[64];
        const int n = std::snprintf(line, sizeof line, "unplug %g\n", o.unplugFor);
        const double t = now();
        if (::write(controlFd, line, size_t(n)) == n) unplugged.push_back({t, t + o.unplugFor});
        else std::fprintf(stderr, "control write failed: %s\n", std::strerror(errno));
    });
    unplugTimer.start(static_cast<int>(o.unplugEvery * 1000));
    struct Sample {
        double t;
        int fds;
        long rss;
    };
    std::vector<Sample> samples;
    auto report = [&] {
        const int fds = OpenDescriptors();
        const long rss = VmRssKb();
        samples.push_back({now(), fds, rss});
        std::printf("t=%7.1f s  descriptors %d  VmRSS %ld kB  recorded %d  %s\n", now(), fds, rss,
                    chart->RecordingCounter() - 1, dlg->TabHost()->CurrentPage() == CTARVIK_UIDlg::kSyncTab
                                                       ? "sync tab" : "chart + AHRS tab");
        std::fflush(stdout);
    };
    QObject::connect(&reportTimer, &QTimer::timeout, report);
    reportTimer.start(static_cast<int>(o.reportEvery * 1000));
    report();

    const double t0 = now();
    RunFor(o.minutes * 60);
    const double tEnd = now();
    phaseTimer.stop();
    backOffTimer.stop();
    unplugTimer.stop();
    reportTimer.stop();
    if (!chartShown.empty() && chartShown.back().to < 0) chartShown.back().to = tEnd;
    report();
    const int fdEnd = OpenDescriptors();
    const long rssEnd = VmRssKb();
    const int recorded = chart->RecordingCounter() - 1;
    const QString recordError = chart->RecordingError();
    const QString exportError = sync->ExportError();
    sync->OnCommand(CDlgMainSync::IDC_FREEZE);
    chart->ToggleRecording();
    RunFor(0.3);
    std::unique_ptr<QWidget> window(dlg.release());
    process.App().EndMainWindow(window, process.Timer());
    DisconnectDevice();
    ::close(controlFd);
    sim.Stop();  // the sync log is complete

    // The export file against the stream: each whole line must be one of the
    // log's lines, later than the previous one; the lines between two that
    // follow each other in the file are lost, and each is put down to an
    // unplug, to the Chart phase (the other windows' requests drop what is
    // waiting on the port before they send) or to nothing.
    const std::string exported = ReadAll(exportFile), sent = ReadAll(syncLog);
    std::string exportRest, sentRest;
    const std::vector<std::string> exp = SplitLines(exported, &exportRest), log = SplitLines(sent, &sentRest);
    std::unordered_map<std::string, size_t> where;
    for (size_t i = 0; i < log.size(); ++i) where.emplace(log[i], i);
    // At an unplug the simulator logs the piece of a line it wrote to the
    // link that then vanished, joined to the next whole line ("time,15310,eu"
    // + "time,15340,..."). The program never received that piece: the whole
    // line behind it is the one it sees, so it counts as that log line.
    for (size_t i = 0; i < log.size(); ++i) {
        const size_t again = log[i].find("time,", 1);
        if (again != std::string::npos) where.emplace(log[i].substr(again), i);
    }
    long expWhole = 0, expForeign = 0, expForeignSyncTab = 0, expDoubled = 0, expBackwards = 0;
    std::vector<std::string> foreignShown;  // the first unexplained ones, placed by the line before
    long lostUnplug = 0, lostChart = 0, lostNotReopened = 0, lostOther = 0;
    std::vector<long> lostOtherTimes, notReopenedTimes;
    auto count = [&](long m) {
        const long t = LineTime(log[size_t(m)]);
        switch (Classify(t / 1000.0, unplugged, chartShown)) {
        case Cause::Unplug: ++lostUnplug; break;
        case Cause::ChartPhase: ++lostChart; break;
        case Cause::NotReopened:
            if (lostNotReopened++ == 0 || t - notReopenedTimes.back() > 100) notReopenedTimes.push_back(t);
            else notReopenedTimes.back() = t;  // the end of the stretch
            break;
        case Cause::Unexplained:
            ++lostOther;
            if (lostOtherTimes.size() < 20) lostOtherTimes.push_back(t);
            break;
        }
    };
    long prev = -1;
    const double margin = kClockMargin;
    for (size_t k = 0; k < exp.size(); ++k) {
        const auto it = where.find(exp[k]);
        if (it == where.end()) {
            // The first line may begin inside a line (the page skips its first chunks).
            if (k == 0) continue;
            ++expForeign;
            // A cut or joined line's own time field is not to be trusted: a
            // piece of one line's time joined to the rest of another
            // ("time,47" + "00,2.85,...") reads as a time far off. It lies
            // just after the last whole line, so that line's time places it.
            const double at = prev >= 0 ? LineTime(log[size_t(prev)]) / 1000.0 : 0;
            if (Classify(at, unplugged, chartShown) != Cause::Unexplained) continue;
            if (++expForeignSyncTab <= 10) {
                char head[48];
                std::snprintf(head, sizeof head, "t=%.2f s: ", at);
                foreignShown.push_back(head + exp[k].substr(0, 60));
            }
            continue;
        }
        const long idx = long(it->second);
        ++expWhole;
        if (prev >= 0 && idx == prev) ++expDoubled;
        else if (prev >= 0 && idx < prev) ++expBackwards;
        else if (prev >= 0) {
            for (long m = prev + 1; m < idx; ++m) {
                count(m);
            }
        }
        prev = std::max(prev, idx);
    }
    // Lines the module sent after the last one in the file (up to the end of the run).
    long lostAtEnd = 0;
    for (long m = prev + 1; m < long(log.size()); ++m) {
        if (LineTime(log[size_t(m)]) / 1000.0 < tEnd - kClockMargin) {
            ++lostAtEnd;
            count(m);
        }
    }

    // After each replug: how long until the module sent again. It sends only
    // while the PC has the port open at its rate, so a port the program does
    // not open again shows as a silence in the sync log, not as lost lines.
    struct Resume {
        double at, after;  // unplug time; seconds from the replug to the next line (-1: never)
        bool syncTab;      // the replug came while the Sync tab was shown
    };
    std::vector<Resume> resumes;
    long slowResumes = 0;
    for (const auto& u : unplugged) {
        double next = -1;
        for (const auto& line : log) {
            const long t = LineTime(line);
            if (t >= 0 && t / 1000.0 > u.from + kClockMargin) {
                next = t / 1000.0;
                break;
            }
        }
        const bool syncTab = !InAny(chartShown, u.to, 0);
        const double after = next < 0 ? -1 : std::max(0.0, next - u.to);
        resumes.push_back({u.from, after, syncTab});
        if (after < 0 ? u.to < tEnd - kReopen : after > kReopen + kClockMargin) ++slowResumes;
    }

    // The capture file: a header, then one whole line per recorded sample,
    // ticks rising; a gap is a time the window did not record.
    const std::string captured = ReadAll(capture);
    std::string captureRest;
    const std::vector<std::string> cap = SplitLines(captured, &captureRest);
    long capBad = 0, capBackwards = 0, capGapsUnplug = 0, capGapsBackOff = 0, capGapsOther = 0;
    double capMaxGapOther = 0;
    // What excuses the window from recording: being hidden (between its shown
    // stretches) and each exchange that waited in vain, with its back-off.
    std::vector<Interval> hiddenSpans;
    for (size_t k = 0; k <= chartShown.size(); ++k) {
        const double from = k == 0 ? -1e9 : chartShown[k - 1].to - margin;
        const double to = k == chartShown.size() ? 1e9 : chartShown[k].from + margin;
        if (to > from) hiddenSpans.push_back({from, to});
    }
    std::vector<Interval> excused = hiddenSpans;
    for (double m : noReplyMarks) excused.push_back({m - timeoutS - margin, m + 1.0 + margin});
    long lastTick = -1;
    const double chartPeriod = CDlgRealtimeTrack::UpdatePeriod() / 1000.0;
    for (size_t k = 1; k < cap.size(); ++k) {
        int tick = 0;
        float x, y, z;
        char end = 0;
        if (std::sscanf(cap[k].c_str(), "%d, %f, %f, %f %c", &tick, &x, &y, &z, &end) != 4) {
            ++capBad;
            continue;
        }
        const long t = long(uint32_t(tick) - tick0);
        if (lastTick >= 0 && t <= lastTick) ++capBackwards;
        if (lastTick >= 0 && t - lastTick > 1500) {
            const double a = lastTick / 1000.0, b = t / 1000.0;
            // A gap at an unplug, or one that is all hidden window and
            // back-offs (no stretch over 1.5 s left), is expected.
            bool unplug = false;
            for (const auto& u : unplugged)
                if (u.from < b + margin && u.to + margin > a) unplug = true;
            const bool hidden = LongestUncovered(a, b, excused) <= 1.5;
            if (unplug) ++capGapsUnplug;
            else if (hidden && LongestUncovered(a, b, hiddenSpans) > 1.5)
                ++capGapsBackOff;
            else if (!hidden) {
                ++capGapsOther;
                capMaxGapOther = std::max(capMaxGapOther, b - a);
            }
        }
        lastTick = t;
    }
    double chartSeconds = 0;
    for (const auto& c : chartShown) chartSeconds += c.to - c.from;

    // Descriptors: the end against the start. Memory: the end against the
    // first report after two phases, when the text box, the chart history
    // and Qt's caches have filled; up to 4 MB more is noise of the allocator.
    const int fdAfterStart = samples.front().fds;
    const long rssAfterStart = samples.front().rss;
    Sample warm = samples.front();
    for (const auto& x : samples)
        if (x.t >= std::min(2 * o.phase, (tEnd - t0) / 2)) {
            warm = x;
            break;
        }
    const bool fdFlat = fdEnd <= fdAfterStart;
    const bool rssFlat = rssEnd - warm.rss <= 4096;
    const double rssSlope = tEnd - warm.t > 1 ? (rssEnd - warm.rss) / ((tEnd - warm.t) / 60) : 0;
    std::printf("\nrun: %.1f min, phase %.0f s, unplug %g s every %.0f s (%zu unplugs), chart shown %.0f s\n",
                (tEnd - t0) / 60, o.phase, o.unplugFor, o.unplugEvery, unplugged.size(), chartSeconds);
    std::printf("descriptors: %d before the window, %d at the start, %d at the end: %s\n", fd0, fdAfterStart, fdEnd,
                fdFlat ? "flat" : "GROWING");
    std::printf("VmRSS: %ld kB before the window, %ld kB at the start, %ld kB at t=%.0f s, %ld kB at the end "
                "(%+.1f kB/min since t=%.0f s): %s\n",
                rss0, rssAfterStart, warm.rss, warm.t, rssEnd, rssSlope, warm.t, rssFlat ? "flat" : "GROWING");
    std::printf("sync log: %zu lines (%zu bytes)\n", log.size(), sent.size());
    std::printf("export file: %zu bytes, %zu lines, %ld whole lines of the log, %ld doubled, %ld out of order, "
                "%ld not in the log (%ld of them on the Sync tab), %s\n",
                exported.size(), exp.size(), expWhole, expDoubled, expBackwards, expForeign, expForeignSyncTab,
                exportRest.empty() ? "ends with CR LF" : "ends inside a line");
    for (const auto& f : foreignShown) std::printf("  not in the log: %s\n", f.c_str());
    std::printf("lines missing from the export: %ld while unplugged (and %.1f s to reopen), %ld while the Chart "
                "window polled, %ld on the Sync tab after a replug before the next Chart phase, %ld otherwise "
                "(%ld after the last exported line)\n",
                lostUnplug, kReopen, lostChart, lostNotReopened, lostOther, lostAtEnd);
    if (!notReopenedTimes.empty()) {
        std::printf("  stretches lost after a replug (module time ms, last line of each):");
        for (long t : notReopenedTimes) std::printf(" %ld", t);
        std::printf("\n");
    }
    if (!lostOtherTimes.empty()) {
        std::printf("  first unexplained missing lines (module time ms):");
        for (long t : lostOtherTimes) std::printf(" %ld", t);
        std::printf("\n");
    }
    std::printf("stream back after each replug:");
    for (const auto& r : resumes) {
        if (r.after < 0) std::printf(" [t=%.0f s %s: never]", r.at, r.syncTab ? "Sync tab" : "Chart phase");
        else std::printf(" [t=%.0f s %s: %.1f s]", r.at, r.syncTab ? "Sync tab" : "Chart phase", r.after);
    }
    std::printf("\n%ld of %zu replugs took longer than %.1f s (the port was not opened again)\n", slowResumes,
                resumes.size(), kReopen + kClockMargin);
    std::printf("capture file: %zu lines (header + %d recorded), %ld malformed, %ld out of order, gaps over "
                "1.5 s: %ld at an unplug, %ld in back-offs after a reply that never came (%zu such exchanges in "
                "the run), %ld otherwise (longest %.1f s); chart period %.0f ms\n",
                cap.size(), recorded, capBad, capBackwards, capGapsUnplug, capGapsBackOff, noReplyMarks.size(),
                capGapsOther, capMaxGapOther, chartPeriod * 1000);
    std::printf("chart shown %.0f s: %d samples recorded, %.1f per second (one every %.0f ms would be %.1f)\n",
                chartSeconds, recorded, chartSeconds > 0 ? recorded / chartSeconds : 0, chartPeriod * 1000,
                chartPeriod > 0 ? 1 / chartPeriod : 0);
    if (!recordError.isEmpty()) std::printf("recording stopped: %s\n", recordError.toLocal8Bit().constData());
    if (!exportError.isEmpty()) std::printf("export error: %s\n", exportError.toLocal8Bit().constData());

    if (!o.keep.empty()) {
        for (const char* f : {"records.csv", "capture.csv", "sync-log"}) {
            std::ifstream in(dir.File(f), std::ios::binary);
            std::ofstream out(o.keep + "/" + f, std::ios::binary);
            out << in.rdbuf();
        }
    }
    const bool linesOk = expDoubled == 0 && expBackwards == 0 && expForeignSyncTab == 0 && lostOther == 0 &&
                         lostNotReopened == 0 && slowResumes == 0 &&
                         capBad == 0 && capBackwards == 0 && long(cap.size()) == recorded + 1 && capGapsOther == 0;
    std::printf("result: %s\n", fdFlat && rssFlat && linesOk ? "PASS" : "FAIL");
    return fdFlat && rssFlat && linesOk ? 0 : 1;
}
