// tarvik-sync-cpu: the Sync data page at 921600 bit/s with a 10 ms sync
// period and every quantity selected, against tarvik-sim. It records to an
// export file for a while, then checks that the file is one unbroken run of
// what the simulator sent (every byte that reached the page, in order, none
// doubled) and reports what one 10 ms reception tick costs the user-interface
// thread, trimming of the text box included. Run it by hand under Xvfb
// (xvfb-run -a bin/tarvik-sync-cpu [seconds]); figures in docs/performance.md.
#include "app/app_ini.h"
#include "bench/bench_sim.h"
#include "bench/cpu_time.h"
#include "tests/support/sim_session.h"
#include "ui/views/dlg_main_sync.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <fstream>
#include <sstream>
#include <string>
#include <time.h>
#include <thread>
#include <vector>

namespace {

void RunLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The page with its reception ticks timed.
class CTimedSync : public CDlgMainSync {
public:
    struct Tick {
        double ms;      // wall time
        double cpuMs;   // CPU time of the thread (without the time other processes had the core)
        bool trimmed;
        int bytes;
    };
    void OnTimer(int id) override {
        if (id != TIMER_RECEIVE || !timing) {
            CDlgMainSync::OnTimer(id);
            return;
        }
        const int before = GetTextLength(IDC_TEXT);
        const double c0 = ThreadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        CDlgMainSync::OnTimer(id);
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = ThreadCpuMs();
        const int after = GetTextLength(IDC_TEXT);
        ticks.push_back({std::chrono::duration<double, std::milli>(t1 - t0).count(), c1 - c0, after < before,
                         std::max(0, after - before)});
    }
    bool timing = false;
    std::vector<Tick> ticks;
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    CTempDir dir;
    g_pAppIni = new CAppIni(dir.File("TARVIK_UI.ini"), false);
    g_pAppIni->saveOnExit = false;
    const std::string syncLog = dir.File("sync-log");
    CSimProcess sim;
    if (!StartBenchSim(sim, dir.File("tty"),
                       {"--baud", "921600", "--force", "sd=0xfff", "--force", "sp=10", "--sync-log", syncLog}, 921600))
        return 1;
    const std::string exportFile = dir.File("records.csv");
    std::snprintf(g_pAppIni->sync_file, sizeof g_pAppIni->sync_file, "%s", exportFile.c_str());

    QWidget host;
    host.resize(800, 900);
    CTimedSync page;
    page.Create(&host);
    page.show();
    host.show();
    RunLoop(0.5);
    page.OnCommand(CDlgMainSync::IDC_RUN);
    page.timing = true;
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    RunLoop(seconds);
    const double cpu = CpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    page.timing = false;
    page.OnCommand(CDlgMainSync::IDC_FREEZE);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const std::string file = ReadAll(exportFile);
    const std::string sent = ReadAll(syncLog);
    const size_t at = file.empty() ? std::string::npos : sent.find(file);
    size_t lines = 0, cut = 0;
    for (size_t p = 0; (p = file.find("\r\n", p)) != std::string::npos; p += 2) ++lines;
    for (size_t p = 0; (p = file.find("\r\ntime,", p)) != std::string::npos; p += 2) ++cut;

    std::vector<double> all, cpuAll, trims, cpuTrims;
    long bytes = 0;
    for (const auto& t : page.ticks) {
        all.push_back(t.ms);
        cpuAll.push_back(t.cpuMs);
        if (t.trimmed) {
            trims.push_back(t.ms);
            cpuTrims.push_back(t.cpuMs);
        }
        bytes += t.bytes;
    }
    auto mean = [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    };
    std::printf("%.1f s at 921600 bit/s, sync period 10 ms, selection 0xfff\n", elapsed);
    std::printf("export file: %zu bytes, %zu lines; %s\n", file.size(), lines,
                at != std::string::npos ? "one unbroken run of the stream (in order, nothing lost or doubled)"
                                        : "NOT a run of the stream");
    std::printf("stream sent during the run: %zu bytes in %zu lines of the sync log\n", sent.size(),
                static_cast<size_t>(std::count(sent.begin(), sent.end(), '\n')));
    std::printf("reception ticks: %zu (%.1f per second), %ld characters shown\n", page.ticks.size(),
                page.ticks.size() / elapsed, bytes);
    std::printf("tick, wall time: mean %.3f ms, median %.3f, p99 %.3f, max %.3f\n", mean(all), Percentile(all, 0.5),
                Percentile(all, 0.99), Percentile(all, 1.0));
    std::printf("tick, thread CPU: mean %.3f ms, median %.3f, p99 %.3f, max %.3f\n", mean(cpuAll),
                Percentile(cpuAll, 0.5), Percentile(cpuAll, 0.99), Percentile(cpuAll, 1.0));
    std::printf("ticks that trimmed the text box: %zu, wall max %.3f ms, thread CPU max %.3f ms\n", trims.size(),
                Percentile(trims, 1.0), Percentile(cpuTrims, 1.0));
    std::printf("whole process (ticks, painting, event loop): %.1f %% of one core = %.3f ms per 10 ms\n",
                cpu / elapsed * 100, cpu / elapsed * 10);
    page.DestroyWindow();
    DisconnectDevice();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    return at != std::string::npos ? 0 : 2;
}
