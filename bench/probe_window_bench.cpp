// tarvik-probe-bench: the Probe window against tarvik-sim at 921600 bit/s.
// 1. Block read-out: the time of timer 1001's chunk reads for a full raw block
//    (768 values, 24 gets) and a full spectrum block (990 values, 31 gets),
//    against the wire time of the same bytes (request and reply frames at 10
//    bits per byte).
// 2. Cross-hair: the cost of one pointer move over a full plot, the event and
//    the repaint it causes, against rendering the whole plot.
// Run under xvfb-run; see docs/performance.md.
#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/frame.h"
#include "tests/support/sim_session.h"
#include "ui/charts/dlg_probe.h"
#include "ui/charts/probe_plot.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <vector>

namespace {

constexpr uint32_t kBaud = 921600;

double WireMs(int total) {
    double bytes = 0;
    for (int n = 0; n < total; n += 32)
        bytes += frame::kRequestLength + static_cast<double>(frame::Length(std::min(32, total - n)));
    return bytes * 10.0 / kBaud * 1000.0;
}

bool ProbeOnce(CDlgProbe& w, int row) {
    w.Item<QComboBox>(CDlgProbe::IDC_SOURCE)->setCurrentIndex(row);
    w.Item<QLineEdit>(CDlgProbe::IDC_DELAY)->setText("1");
    w.RequestProbe();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        Pump(2);
        if (w.GetDlgItemText(CDlgProbe::IDC_STATUS) == "Probe Complete" && !w.HasTimer(CDlgProbe::TIMER_READ))
            return w.BlockComplete();
    }
    return false;
}

void Stats(const char* what, std::vector<double> v, double reference) {
    std::sort(v.begin(), v.end());
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    std::printf("%-38s n=%4zu min %7.3f  p50 %7.3f  mean %7.3f  max %7.3f ms", what, v.size(), v.front(),
                v[v.size() / 2], mean, v.back());
    if (reference > 0) std::printf("  (reference %.3f ms, p50/ref %.3f)", reference, v[v.size() / 2] / reference);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
    CTempDir dir;
    std::ofstream(dir.File("TARVIK_UI.ini")) << "[Property]\nbplotDx=1600\nbplotDy=900\n";
    g_pAppIni = new CAppIni(dir.File("TARVIK_UI.ini"));
    CSimProcess sim;
    if (!sim.Start(dir.File("tty"), {"--baud", std::to_string(kBaud), "--probe-wave", "sine"})) {
        std::fprintf(stderr, "simulator: %s\n", sim.Error().c_str());
        return 1;
    }
    if (!ConnectDevice(dir.File("tty").c_str(), kBaud, 100, 1, nullptr)) {
        std::fprintf(stderr, "cannot connect at %u bit/s\n", kBaud);
        return 1;
    }
    auto* w = new CDlgProbe();
    w->Create();
    w->show();
    Pump(300);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
    const struct {
        int row;
        const char* name;
    } kinds[] = {{0, "read-out raw block (768 values)"}, {6, "read-out spectrum block (990 values)"}};
    for (const auto& k : kinds) {
        std::vector<double> ms;
        for (int i = 0; i < rounds; ++i) {
            if (!ProbeOnce(*w, k.row)) {
                std::fprintf(stderr, "probe %d failed\n", k.row);
                return 1;
            }
            ms.push_back(w->LastReadOutMs());
        }
        Stats(k.name, ms, WireMs(od::ProbeKindAt(k.row)->Total()));
    }

    // The same gets straight through the link, without the window.
    {
        std::vector<double> ms;
        std::vector<int32_t> block(768);
        for (int i = 0; i < rounds; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            for (int n = 0; n < 768; n += 32)
                g_pObjectAccess->GetObjectXXX(OBJ_INT32, 0x28 + n / 256, static_cast<uint8_t>(n % 256), &block[n], 32);
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        Stats("768 values, link only", ms, WireMs(768));
    }

    // Cross-hair over the full spectrum plot now shown.
    CProbePlotView* view = w->PlotView();
    Pump(100);
    const PlotRect a = view->Plot().Area();
    std::vector<double> moves;
    const int renders = view->RenderCount();
    for (int i = 0; i < 2000; ++i) {
        const int x = a.left + 1 + (i * 7) % (a.right - a.left - 2);
        const int y = a.top + 1 + (i * 5) % (a.bottom - a.top - 2);
        const auto t0 = std::chrono::steady_clock::now();
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), view->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(view, &e);
        QApplication::processEvents();  // the read-out and the strips the cross-hair moved over
        moves.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::printf("plot %dx%d, renders during the moves: %d\n", view->width(), view->height(),
                view->RenderCount() - renders);
    std::vector<double> full;
    for (int i = 0; i < 50; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        view->Refresh();
        view->repaint();
        full.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    Stats("cross-hair move + repaint", moves, 1.0);
    Stats("full plot render + repaint", full, 0);

    delete w;
    DisconnectDevice();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    return 0;
}
