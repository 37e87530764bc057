#include "sim/fft.h"

#include <cmath>
#include <numbers>

namespace sim {

void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

std::vector<double> AmplitudeSpectrum(const std::vector<double>& signal, Window window) {
    const size_t n = signal.size();
    // Cosine-sum windows: w(i) = sum_k (-1)^k a_k cos(2 pi k i / n); a_0 is the
    // coherent gain.
    static const double kHann[] = {0.5, 0.5};
    static const double kFlatTop[] = {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368};
    const double* coeff = window == Window::Hann ? kHann : kFlatTop;
    const int terms = window == Window::Hann ? 2 : 5;
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        double w = 0;
        for (int k = 0; k < terms; ++k)
            w += (k % 2 ? -1.0 : 1.0) * coeff[k] *
                 std::cos(2 * std::numbers::pi * k * static_cast<double>(i) / static_cast<double>(n));
        a[i] = signal[i] * w;
    }
    Fft(a);
    std::vector<double> amplitude(n / 2);
    // Single-sided: x2; the window's coherent gain divided out.
    for (size_t k = 0; k < n / 2; ++k) amplitude[k] = std::abs(a[k]) * 2.0 / (static_cast<double>(n) * coeff[0]);
    return amplitude;
}

}  // namespace sim
