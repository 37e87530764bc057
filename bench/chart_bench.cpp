// tarvik-chart-bench: the cost of one chart refresh of the Chart window:
// building the chart of a full history (240 samples of three curves, the
// window at its default 600 x 400) and rendering it into an image. Run by
// hand; figures in docs/performance.md.
#include "chart/track_chart.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

struct History {
    std::vector<double> t, x, y, z;
    explicit History(bool gaps) : t(240), x(240), y(240), z(240) {
        const double end = tchart::chartTime(2026, 12, 9, 12, 0, 0);
        for (int i = 0; i < 240; ++i) {
            t[i] = end - (239 - i) * 0.025;
            x[i] = 30 * std::sin(i * 0.05);
            y[i] = 20 * std::cos(i * 0.07);
            z[i] = 180 * std::sin(i * 0.01);
        }
        if (gaps)
            for (int i = 0; i < 120; ++i) t[i] = x[i] = y[i] = z[i] = tchart::NoValue;
    }
};

tchart::TrackChartInput Input(const History& h) {
    tchart::TrackChartInput in;
    in.clientWidth = 600;
    in.clientHeight = 400;
    // The buttons are 14 dialog units high in the window's 8 pt font.
    QFont f(QStringLiteral("Sans Serif"));
    f.setPointSize(8);
    in.buttonHeight = 14 * QFontMetrics(f).height() / 8;
    in.background = 0xEFEFEF;
    in.title = "Euler angle [deg]";
    in.names[0] = "roll";
    in.names[1] = "pitch";
    in.names[2] = "yaw";
    in.time = h.t.data();
    in.x = h.x.data();
    in.y = h.y.data();
    in.z = h.z.data();
    in.count = 240;
    return in;
}

void BM_BuildAndRender(benchmark::State& state) {
    const History h(state.range(0) != 0);
    const tchart::TrackChartInput in = Input(h);
    for (auto _ : state) {
        tchart::XYChart c = tchart::BuildTrackChart(in);
        QImage img = c.makeChart();
        benchmark::DoNotOptimize(img.constBits());
    }
    state.SetLabel(state.range(0) ? "half history" : "full history");
}
BENCHMARK(BM_BuildAndRender)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_BuildOnly(benchmark::State& state) {
    const History h(false);
    const tchart::TrackChartInput in = Input(h);
    for (auto _ : state) {
        tchart::XYChart c = tchart::BuildTrackChart(in);
        c.layout();
        benchmark::DoNotOptimize(c.getChartMetrics());
    }
}
BENCHMARK(BM_BuildOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
