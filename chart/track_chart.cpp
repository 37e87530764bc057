#include "chart/track_chart.h"

#include "app/c_locale.h"

#include <algorithm>

namespace tchart {

XYChart BuildTrackChart(const TrackChartInput& in) {
    const int w = in.clientWidth, h = in.clientHeight, b = in.buttonHeight;
    XYChart c(w + 2, h - 36, in.background, 0x000000, 0);
    c.setPlotArea(55, 15, w - 68, h - static_cast<int>(4.5 * b), 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xCCCCCC,
                  0xCCCCCC);
    c.setClipping(0);
    LegendBox* legend = c.addLegend(55, h - 3 * b, 3, "arial.ttf", 9);
    legend->setBackground(Transparent, Transparent, 0);
    legend->setWidth(450);
    c.yAxis()->setTitle(in.title, "arial.ttf", 9, TextColor);
    c.xAxis()->setTickDensity(100, 20);

    if (in.count <= 0 || in.time[in.count - 1] == NoValue) return c;
    const double t = in.time[in.count - 1];
    const int span = in.periodMs * 240 / 1000;  // whole seconds
    c.xAxis()->setDateScale(t - span, t, 0, 0);
    c.xAxis()->setLabelFormat("{value|hh:nn:ss}");
    LineLayer* layer = c.addLineLayer();
    layer->setXData(in.time, in.count);
    const int precision = std::clamp(in.precision, 0, 6);
    const double* series[3] = {in.x, in.y, in.z};
    const uint32_t colours[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    for (int k = 0; k < 3; ++k) {
        const std::string name = FormatC("%s: %.*f ", in.names[k], precision, series[k][in.count - 1]);
        layer->addDataSet(series[k], in.count, colours[k], name);
    }
    return c;
}

}  // namespace tchart
