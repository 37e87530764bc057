#pragma once
// MovingAverageFilter: the mean of the last N samples (N = 1..1000), kept
// with a running update and recomputed exactly from the window's samples
// every N samples, so rounding never accumulates. During the first N samples
// the output is the mean of all samples so far.
#include <array>

class MovingAverageFilter {
public:
    enum : int { kMaxWindow = 1000 };

    // Limits n to 1..1000; call before the first sample.
    void SetWindowSize(int n);
    int WindowSize() const { return m_size; }
    double AddSample(double x);
    double Average() const { return m_average; }

private:
    int m_size = 1;
    double m_average = 0;
    double m_sum = 0;     // samples since the last exact recomputation
    int m_count = 0;      // how many
    int m_window = 0;     // samples the average covers, grows to m_size
    int m_write = 0;
    int m_read = 0;
    std::array<double, kMaxWindow + 1> m_ring{};
};
