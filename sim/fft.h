#pragma once
// A small radix-2 FFT for the simulated module's spectra.
#include <complex>
#include <vector>

namespace sim {

// In place; the size must be a power of two.
void Fft(std::vector<std::complex<double>>& data);

enum class Window {
    Hann,     // narrow peaks: finds the frequency
    FlatTop,  // flat peaks: reads a tone's amplitude within 0.1 % wherever it falls
};

// Single-sided amplitude spectrum of a real signal whose length is a power of
// two: element k is the amplitude of the sine at k * rate / n (the window's
// gain is compensated, so a tone of amplitude A reads about A).
std::vector<double> AmplitudeSpectrum(const std::vector<double>& signal, Window window = Window::Hann);

}  // namespace sim
