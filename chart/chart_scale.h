#pragma once
// Axis scales: "nice" linear ticks for automatic scales and calendar-aligned
// date ticks, each chosen from the axis length and the wanted pixel spacing.
#include <vector>

namespace tchart {

struct AxisScale {
    double lo = 0;
    double hi = 0;
    double major = 0;  // step between labelled ticks, 0 when there are none
    double minor = 0;  // step between minor ticks (a divisor of major), 0 for none
};

// The step from 1, 2 or 5 times a power of ten that puts at most
// lengthPx / densityPx steps into span (at least one step).
double NiceStep(double span, int lengthPx, int densityPx);

// An automatic linear scale over [dataMin, dataMax]: the ends are rounded out
// to whole steps, and an end the data touches moves out by one step. A flat range is widened around its value, an empty one
// (dataMin > dataMax) gives 0..10.
AxisScale AutoLinearScale(double dataMin, double dataMax, int lengthPx, int majorDensityPx, int minorDensityPx);

// Date scale over [lo, hi] (chart time, seconds) with ticks on calendar
// steps (0.1 s ... 30 s, 1 ... 30 min, 1 ... 12 h, days). finestStep bounds
// the step from below (the label format's resolution; 0 for none).
AxisScale AutoDateScale(double lo, double hi, int lengthPx, int majorDensityPx, int minorDensityPx,
                        double finestStep);

// Tick positions: multiples of step within [lo, hi] (inclusive, with a small
// tolerance for rounding).
std::vector<double> TickPositions(double lo, double hi, double step);

}  // namespace tchart
