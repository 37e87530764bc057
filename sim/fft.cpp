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

std::vector<double> AmplitudeSpectrum(const std::vector<double>& signal) {
    const size_t n = signal.size();
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n));
        a[i] = signal[i] * hann;
    }
    Fft(a);
    std::vector<double> amplitude(n / 2);
    // Hann window: coherent gain 0.5; single-sided: x2.
    for (size_t k = 0; k < n / 2; ++k) amplitude[k] = std::abs(a[k]) * 4.0 / static_cast<double>(n);
    return amplitude;
}

}  // namespace sim
