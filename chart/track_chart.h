#pragma once
// The chart of the real-time chart window, built from its history: three
// curves (x red, y green, z blue) against a date scale that ends at the
// newest sample and spans 240 update periods in whole seconds, a legend
// with the newest values, and the quantity as the y-axis title. Without
// samples (newest time stamp NoValue) the chart has empty axes.
#include "chart/xy_chart.h"

namespace tchart {

struct TrackChartInput {
    int clientWidth = 0;    // the window's client area, pixels
    int clientHeight = 0;
    int buttonHeight = 0;   // height of the window's buttons, for the layout
    uint32_t background = 0xF0F0F0;  // 0xRRGGBB
    const char* title = "";
    const char* names[3] = {"x", "y", "z"};
    int periodMs = 25;
    int precision = 3;      // decimals of the legend values, 0..6
    const double* time = nullptr;  // count values each, oldest first
    const double* x = nullptr;
    const double* y = nullptr;
    const double* z = nullptr;
    int count = 0;
};

XYChart BuildTrackChart(const TrackChartInput& in);

}  // namespace tchart
