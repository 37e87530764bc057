#include "app/display_math.h"

#include "app/c_locale.h"

#include <cmath>

std::string FormatAutoPrecision(double value) {
    const double m = std::fabs(value);
    // The first test that holds wins; NaN passes none and takes "%.1f".
    const char* fmt = "%.1f";
    if (m > 1000000.0) fmt = "%g";
    else if (m < 1e-6) fmt = "%.9f";
    else if (m < 1e-5) fmt = "%.8f";
    else if (m < 1e-4) fmt = "%.7f";
    else if (m < 0.001) fmt = "%.6f";
    else if (m < 0.01) fmt = "%.5f";
    else if (m < 0.1) fmt = "%.4f";
    else if (m < 1.0) fmt = "%.3f";
    else if (m < 10.0) fmt = "%.2f";

    // C locale: the point is "." under every LANG.
    std::string text = FormatC(fmt, value);

    // Only a mantissa without exponent loses its trailing zeros: the zeros
    // of "1.5e+10" belong to the exponent.
    const size_t dot = text.find('.');
    if (dot != std::string::npos && text.find_first_of("eE") == std::string::npos) {
        // Keep at least one digit after the point.
        while (text.size() > dot + 2 && text.back() == '0') text.pop_back();
    }
    return text;
}

void ClampPosition(int& x, int& y, int w, int h, int vx, int vy, int cw, int ch) {
    // 64-bit sums: huge remembered positions must not overflow the limits.
    const long long maxX = static_cast<long long>(vx) + cw - w - 1;
    const long long maxY = static_cast<long long>(vy) + ch - h - 1;
    if (x < vx) x = vx;
    if (x > maxX) x = static_cast<int>(maxX);
    if (y < vy) y = vy;
    if (y > maxY) y = static_cast<int>(maxY);
}
