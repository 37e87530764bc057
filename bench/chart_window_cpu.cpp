// tarvik-chart-cpu: the CPU the Chart window costs at the 10 ms period
// against tarvik-sim, beside the same process with the window hidden. Run
// it by hand under Xvfb (xvfb-run -a bin/tarvik-chart-cpu [seconds]);
// figures in docs/performance.md. CHART_SHOT=file.png saves a picture of
// the window at the end of the shown phase.
#include "app/app_ini.h"
#include "bench/bench_sim.h"
#include "bench/cpu_time.h"
#include "ui/charts/dlg_realtime_track.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sstream>
#include <unistd.h>

namespace {

// Runs the event loop for the given time; returns the CPU share of one core.
double Measure(double seconds) {
    const double cpu0 = CpuSeconds();
    QElapsedTimer t;
    t.start();
    QEventLoop loop;  // waits for events like the program's own loop
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return (CpuSeconds() - cpu0) / (t.elapsed() / 1000.0);
}

size_t LineCount(const std::string& path) {
    std::ifstream in(path);
    size_t n = 0;
    for (std::string l; std::getline(in, l);) ++n;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    CTempDir dir;
    g_pAppIni = new CAppIni(dir.File("TARVIK_UI.ini"));
    CSimProcess sim;
    if (!StartBenchSim(sim, dir.File("tty"), {}, 115200)) return 1;
    CDlgRealtimeTrack window;
    window.Create();
    window.show();
    auto* period = window.Item<QComboBox>(CDlgRealtimeTrack::IDC_PERIOD);
    period->setCurrentIndex(0);  // "10"
    emit period->activated(0);
    const std::string capture = dir.File("capture.csv");
    window.SetPathPrompt([&](QString& p) {
        p = QString::fromStdString(capture);
        return true;
    });
    window.ToggleRecording();
    Measure(1);  // settle

    const size_t lines0 = LineCount(capture);
    const int built0 = window.ChartsBuilt();
    const double sim0 = ProcessCpuSeconds(sim.Pid());
    const double shown = Measure(seconds);
    const double simShare = (ProcessCpuSeconds(sim.Pid()) - sim0) / seconds;
    const double rate = (LineCount(capture) - lines0) / seconds;
    const double charts = (window.ChartsBuilt() - built0) / seconds;
    if (const char* shot = std::getenv("CHART_SHOT")) window.grab().save(QString::fromLocal8Bit(shot));
    window.ToggleRecording();
    window.hide();
    Measure(1);
    const double hidden = Measure(seconds);
    std::printf("period %d ms, %.0f s each\n", CDlgRealtimeTrack::UpdatePeriod(), seconds);
    std::printf("shown, recording: %.1f %% of one core, %.1f samples/s recorded, %.1f charts/s\n", shown * 100,
                rate, charts);
    std::printf("tarvik-sim meanwhile: %.1f %% of one core\n", simShare * 100);
    std::printf("hidden:            %.1f %% of one core\n", hidden * 100);
    std::printf("window cost:       %.1f %% of one core\n", (shown - hidden) * 100);
    window.DestroyWindow();
    DisconnectDevice();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    return 0;
}
