#include "chart/chart_scale.h"

#include <algorithm>
#include <cmath>

namespace tchart {

namespace {

// Calendar steps for date axes, in seconds.
const double kDateSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5,
                             1,     2,     5,     10,   15,   30,   60,  120, 300,
                             600,   900,   1800,  3600, 7200, 10800, 21600, 43200, 86400,
                             2 * 86400, 7 * 86400, 14 * 86400, 30 * 86400, 91 * 86400, 182 * 86400, 365 * 86400};

int MaxSteps(int lengthPx, int densityPx) { return std::max(1, lengthPx / std::max(1, densityPx)); }

// The largest number of sub-steps from {10, 5, 4, 2} whose pixel spacing is
// at least minorDensityPx; the minor step is major / that, or 0 for none.
double MinorStep(double major, double span, int lengthPx, int minorDensityPx) {
    if (major <= 0 || minorDensityPx <= 0 || span <= 0) return 0;
    const double majorPx = lengthPx * major / span;
    for (int parts : {10, 5, 4, 2})
        if (majorPx / parts >= minorDensityPx) return major / parts;
    return 0;
}

}  // namespace

double NiceStep(double span, int lengthPx, int densityPx) {
    if (!(span > 0)) return 1;
    const double raw = span / MaxSteps(lengthPx, densityPx);
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * mag >= raw * (1 - 1e-9)) return m * mag;
    return 10 * mag;
}

AxisScale AutoLinearScale(double dataMin, double dataMax, int lengthPx, int majorDensityPx, int minorDensityPx) {
    if (dataMin > dataMax) {
        dataMin = 0;
        dataMax = 10;
    } else if (dataMin == dataMax) {
        const double pad = dataMin == 0 ? 1 : std::fabs(dataMin) * 0.1;
        dataMin -= pad;
        dataMax += pad;
    }
    AxisScale s;
    // Rounding the ends out can add a step: choose again if it no longer fits.
    double step = NiceStep(dataMax - dataMin, lengthPx, majorDensityPx);
    for (int i = 0; i < 3; ++i) {
        s.lo = std::floor(dataMin / step + 1e-9) * step;
        s.hi = std::ceil(dataMax / step - 1e-9) * step;
        // Data on an end would hide under the axis line or the plot edge:
        // such an end moves out by one step.
        if (dataMin - s.lo < step * 0.02) s.lo -= step;
        if (s.hi - dataMax < step * 0.02) s.hi += step;
        if ((s.hi - s.lo) / step <= MaxSteps(lengthPx, majorDensityPx) + 1e-9) break;
        step = NiceStep(s.hi - s.lo, lengthPx, majorDensityPx);
    }
    s.major = step;
    s.minor = MinorStep(step, s.hi - s.lo, lengthPx, minorDensityPx);
    return s;
}

AxisScale AutoDateScale(double lo, double hi, int lengthPx, int majorDensityPx, int minorDensityPx,
                        double finestStep) {
    AxisScale s;
    s.lo = lo;
    s.hi = hi;
    const double span = hi - lo;
    if (!(span > 0)) return s;
    const double raw = span / MaxSteps(lengthPx, majorDensityPx);
    double step = 0;
    for (double c : kDateSteps) {
        if (c + 1e-12 < finestStep) continue;
        if (c >= raw * (1 - 1e-9)) {
            step = c;
            break;
        }
    }
    if (step == 0) step = std::ceil(raw / (365 * 86400.0)) * 365 * 86400.0;  // whole years
    s.major = step;
    // Minor steps are calendar steps that divide the major one.
    const double majorPx = lengthPx * step / span;
    for (double c : kDateSteps) {
        if (c >= step) break;
        const double parts = step / c;
        if (std::fabs(parts - std::round(parts)) > 1e-9) continue;
        if (majorPx / parts >= minorDensityPx && minorDensityPx > 0) {
            s.minor = c;
            break;
        }
    }
    return s;
}

std::vector<double> TickPositions(double lo, double hi, double step) {
    std::vector<double> out;
    if (!(step > 0) || hi < lo) return out;
    const double tol = step * 1e-9;
    const double first = std::ceil((lo - tol) / step);
    for (double k = first;; k += 1) {
        double v = k * step;
        if (v > hi + tol) break;
        if (std::fabs(v) < tol) v = 0;
        out.push_back(v);
        if (out.size() > 10000) break;  // a degenerate step never loops forever
    }
    return out;
}

}  // namespace tchart
