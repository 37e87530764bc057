#pragma once
// The probe plot's model without any drawing: how each probe kind is drawn, the
// plot's parameters (visible sample range, fitted y axis, scaling), the
// mapping between samples/values and pixels, zooming into a dragged
// rectangle, the fractional sample under the pointer, and the colour words
// of a legend. No Qt here, so that all of it is tested without a display.
// What the module is asked for and the block's size are the catalogue's
// probe kinds (device/object_dictionary.h); this is how a block is shown.
#include "device/object_dictionary.h"

#include <cstdint>
#include <string>

// How the block of one probe kind is drawn, in the catalogue's list order
// (the raw value's scale to the plotted unit is the kind's).
struct ProbeDrawing {
    int labelInterval;      // samples between x labels
    double xStep;           // x-axis units per sample at delay 1
    int xStepMode;          // 1: times the delay, -1: divided by it, 0: unchanged
    const char* xAxisName;
    const char* legend;
};

extern const ProbeDrawing kProbeDrawings[od::kProbeKindCount];

// The x step for a sampling delay (a delay below 1 counts as 1).
double XStepForDelay(const ProbeDrawing& drawing, int delay);

struct PlotRgb {
    int r, g, b;
    bool operator==(const PlotRgb&) const = default;
};

// Channel colours before a legend is applied: red, green, blue, gray.
extern const PlotRgb kDefaultChannelColors[4];

// Replaces colours[k] by the colour word that begins the legend's k-th item
// (items are separated by ", "); an item without a colour word keeps its colour.
void ColorsFromLegend(PlotRgb colours[4], const char* legend);

// Largest block the window reads: 1024 values.
constexpr int kProbeBufferSize = 1024;

struct PlotRect {
    int left, top, right, bottom;
    bool operator==(const PlotRect&) const = default;
};

class ProbePlot {
public:
    // Plot margins inside the outer rectangle.
    enum : int { kMarginLeft = 65, kMarginTop = 10, kMarginRight = 10, kMarginBottom = 45 };

    ProbePlot();

    // The initial parameters; rectangles and cross-hair stay.
    void ResetPlot();
    // Lays the plot out for the source of that code with the full sample
    // range and a y axis fitted to the data (delay = the sampling delay of the
    // block). Returns false (nothing changed) when no source matches. valid,
    // when not null, flags the values that were read; only those count.
    bool LayoutForSource(int32_t probeCode, const int32_t* buffer, int delay, const uint8_t* valid = nullptr);
    // The data's scaled minimum and maximum, widened to at least 0.001.
    void FitYRange(const int32_t* buffer, double& lo, double& hi, const uint8_t* valid = nullptr) const;
    // Y-axis ends and tick for the range lo..hi: a tick of 1, 2 or 5 times a
    // power of ten, ends rounded outward to whole ticks.
    void FitYAxis(double lo, double hi);
    // Zoom into the rectangle between a press and a release point (pixels).
    void ZoomToSelection(int x0, int y0, int x1, int y1);

    // The outer rectangle, and the plot area derived from it.
    void SetOuterRect(const PlotRect& r);
    const PlotRect& OuterRect() const { return m_outer; }
    const PlotRect& Area() const { return m_area; }

    // Strictly inside the plot area.
    bool Inside(int x, int y) const;
    // The fractional sample index at x (no range check).
    double IndexAt(int x) const;
    // Pixel of a sample and of a plotted value (truncated toward zero).
    int X(double i) const;
    int Y(double v) const;

    // The cross-hair position, (-1, -1) when none is shown.
    int CrossX() const { return m_crossX; }
    int CrossY() const { return m_crossY; }
    bool CrossShown() const { return m_crossX >= 0 && m_crossY >= 0; }
    void SetCross(int x, int y) { m_crossX = x; m_crossY = y; }
    // Moves the cross-hair to the pointer: inside the plot area it is shown
    // there and the fractional sample index is answered; outside it is removed
    // and -1 is answered.
    double TrackCursor(int x, int y);

    // The x-grid step of the light grid for the label interval.
    int LightGridStep() const;

    int channels = 3;
    int samples = 256;
    int labelInterval = 50;
    int first = 0;
    int last = 255;
    double xStep = 1.0;
    double yTick = 0.5;
    double yMin = -1.0;
    double yMax = 1.0;
    double yScale = 1.0;
    std::string xAxisName;
    std::string legend;

private:
    PlotRect m_outer{100, 100, 500, 300};
    PlotRect m_area{100, 100, 500, 300};
    int m_crossX = -1;
    int m_crossY = -1;
};
