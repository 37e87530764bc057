#include "ui/charts/probe_plot_math.h"

#include <algorithm>
#include <cmath>
#include <cstring>

const ProbeDrawing kProbeDrawings[od::kProbeKindCount] = {
    {20, 0.1, 1, "time[ms]", "red: acceleration x, green: acceleration y, blue: acceleration z"},
    {20, 0.1, 1, "time[ms]", "red: gyroscope x, green: gyroscope y, blue: gyroscope z"},
    {20, 1.0, 1, "time[ms]", "red: magnetometer x, green: magnetometer y, blue: magnetometer z"},
    {20, 1.0, 1, "time[ms]", "red: acceleration x, green: acceleration y, blue: acceleration z [g]"},
    {20, 1.0, 1, "time[ms]", "red: rotation rate x, green: rotation rate y, blue: rotation rate z [deg/s]"},
    {20, 1.0, 1, "time[ms]", "red: magnetic field x, green: magnetic field y, blue: magnetic field z [uT]"},
    {20, 9.765625, -1, "frequency[Hz]", "red: amplitude x, green: amplitude y, blue: amplitude z [m/s^2]"},
    {20, 9.765625, -1, "frequency[Hz]", "red: amplitude x, green: amplitude y, blue: amplitude z [deg/s]"},
};

double XStepForDelay(const ProbeDrawing& drawing, int delay) {
    const int d = std::max(1, delay);
    if (drawing.xStepMode == 1) return drawing.xStep * d;
    if (drawing.xStepMode == -1) return drawing.xStep / d;
    return drawing.xStep;
}

const PlotRgb kDefaultChannelColors[4] = {{255, 0, 0}, {0, 128, 0}, {0, 0, 255}, {127, 127, 127}};

namespace {
struct ColourWord {
    const char* word;
    PlotRgb rgb;
};
// "gree" is compared over its own four letters, so it matches "green".
const ColourWord kColourWords[] = {
    {"red", {255, 0, 0}},      {"gree", {0, 127, 0}},     {"blue", {0, 0, 255}},
    {"orange", {255, 127, 0}}, {"yellow", {255, 255, 0}}, {"purple", {127, 0, 255}},
    {"cyan", {0, 255, 255}},   {"brown", {127, 63, 63}},  {"black", {0, 0, 0}},
    {"gray", {127, 127, 127}},
};
}  // namespace

void ColorsFromLegend(PlotRgb colours[4], const char* legend) {
    if (legend == nullptr) return;
    const char* p = legend;
    for (int k = 0; k < 4;) {
        for (const ColourWord& w : kColourWords) {
            if (std::strncmp(p, w.word, std::strlen(w.word)) == 0) {
                colours[k] = w.rgb;
                break;
            }
        }
        const char* next = std::strstr(p, ", ");
        if (next == nullptr) return;
        ++k;
        p = next + 2;
    }
}

ProbePlot::ProbePlot() { ResetPlot(); }

void ProbePlot::ResetPlot() {
    channels = 3;
    samples = 256;
    labelInterval = 50;
    first = 0;
    last = 255;
    xStep = 1.0;
    yTick = 0.5;
    yMin = -1.0;
    yMax = 1.0;
    yScale = 1.0;
    xAxisName.clear();
    legend.clear();
}

bool ProbePlot::LayoutForSource(int32_t probeCode, const int32_t* buffer, int delay, const uint8_t* valid) {
    const int row = od::ProbeKindPosition(probeCode);
    if (row < 0) return false;
    const od::ProbeKind& kind = *od::ProbeKindAt(row);
    const ProbeDrawing& s = kProbeDrawings[row];
    xStep = XStepForDelay(s, delay);
    channels = kind.channels;
    samples = kind.samples;
    labelInterval = s.labelInterval;
    yScale = kind.scale;
    xAxisName = std::string(s.xAxisName).substr(0, 1024);
    legend = std::string(s.legend).substr(0, 1024);
    first = 0;
    last = samples - 1;
    double lo = 0, hi = 0;
    FitYRange(buffer, lo, hi, valid);
    FitYAxis(lo, hi);
    return true;
}

void ProbePlot::FitYRange(const int32_t* buffer, double& lo, double& hi, const uint8_t* valid) const {
    lo = 1e20;
    hi = -1e20;
    const int ch = std::min(channels, 4);
    for (int i = 0; i < samples; ++i) {
        for (int c = 0; c < ch; ++c) {
            const int n = c * samples + i;
            if (n >= kProbeBufferSize || (valid != nullptr && valid[n] == 0)) continue;
            const double v = buffer[n] * yScale;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (lo > hi) lo = hi = 0.0;  // nothing was read
    if (hi - lo < 0.001) {
        hi += 0.0005;
        lo -= 0.0005;
    }
}

void ProbePlot::FitYAxis(double lo, double hi) {
    const double s = std::max((hi - lo) / 3.0, 0.001);
    lo -= s / 3.0;
    hi += s / 3.0;
    double w = s, a = 1.0;
    for (;;) {
        if (w < 1.0) {
            w *= 10.0;
            a *= 10.0;
        } else if (w >= 10.0) {
            w /= 10.0;
            a /= 10.0;
        } else {
            break;
        }
    }
    if (w >= 2.0) a = w < 5.0 ? a * 0.5 : a / 5.0;
    yMin = std::floor(a * lo) / a;
    yMax = std::ceil(a * hi) / a;
    yTick = 1.0 / a;
}

void ProbePlot::ZoomToSelection(int x0, int y0, int x1, int y1) {
    const int width = m_area.right - m_area.left;
    const int height = m_area.top - m_area.bottom;
    if (width == 0 || height == 0) return;  // no plot area drawn yet
    const double k = static_cast<double>(last - first) / width;
    const int i0 = static_cast<int>((x0 - m_area.left) * k + first);
    const int i1 = static_cast<int>((x1 - m_area.left) * k + first);
    first = std::min(i0, i1);
    last = std::max(i0, i1);

    const double h = (yMax - yMin) / height;
    const double ya = (y0 - m_area.bottom) * h + yMin;
    const double yb = (y1 - m_area.bottom) * h + yMin;

    if (last - first < 10) {
        const int m = (first + last) / 2;
        first = m - 5;
        last = m + 5;
    }
    if (first < 0) first = 0;
    if (last < 10) last = 10;
    if (first > samples - 11) first = samples - 11;
    if (last > samples - 1) last = samples - 1;
    // Blocks shorter than eleven samples: keep a valid range of at least one step.
    if (first < 0) first = 0;
    if (last <= first) last = first + 1;

    if (y0 == y1) return;
    double lo = std::min(ya, yb), hi = std::max(ya, yb);
    if (hi - lo < 0.001) {
        const double m = (lo + hi) / 2.0;
        lo = m - 0.0005;
        hi = m + 0.0005;
    }
    FitYAxis(lo, hi);
}

void ProbePlot::SetOuterRect(const PlotRect& r) {
    m_outer = r;
    m_area = {r.left + kMarginLeft, r.top + kMarginTop, r.right - kMarginRight, r.bottom - kMarginBottom};
}

bool ProbePlot::Inside(int x, int y) const {
    return m_area.left < x && x < m_area.right && m_area.top < y && y < m_area.bottom;
}

double ProbePlot::IndexAt(int x) const {
    const int width = m_area.right - m_area.left;
    if (width == 0) return first;
    return static_cast<double>(x - m_area.left) * (last - first) / width + first;
}

int ProbePlot::X(double i) const {
    if (last == first) return m_area.left;
    return static_cast<int>(static_cast<double>(m_area.right - m_area.left) / (last - first) * (i - first) +
                            m_area.left);
}

int ProbePlot::Y(double v) const {
    if (yMax == yMin) return m_area.bottom;
    const double y = static_cast<double>(m_area.top - m_area.bottom) / (yMax - yMin) * (v - yMin) + m_area.bottom;
    // Values far off the visible range stay within what an int holds.
    return static_cast<int>(std::clamp(y, -1e6, 1e6));
}

double ProbePlot::TrackCursor(int x, int y) {
    if (Inside(x, y)) {
        SetCross(x, y);
        return IndexAt(x);
    }
    SetCross(-1, -1);
    return -1.0;
}

int ProbePlot::LightGridStep() const {
    if (labelInterval < 5) return 1;
    if (labelInterval < 10) return 2;
    if (labelInterval < 25) return 5;
    if (labelInterval < 50) return 10;
    if (labelInterval < 100) return 20;
    return 40;
}
