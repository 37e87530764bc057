#include "chart/moving_average.h"

#include <cstddef>

void MovingAverageFilter::SetWindowSize(int n) { m_size = n < 1 ? 1 : n > kMaxWindow ? kMaxWindow : n; }

double MovingAverageFilter::AddSample(double x) {
    constexpr int kRing = kMaxWindow + 1;
    m_write = (m_write + 1) % kRing;
    m_ring[static_cast<size_t>(m_write)] = x;
    if (m_window == m_size) {
        // Steady state: the oldest sample leaves the window.
        m_read = (m_read + 1) % kRing;
        const double leaving = m_ring[static_cast<size_t>(m_read)];
        ++m_count;
        m_sum += x;
        m_average += (x - leaving) / m_window;
        if (m_count >= m_window) {
            // The last n samples are exactly those summed since the last recomputation.
            m_average = m_sum / m_count;
            m_count = 0;
            m_sum = 0;
        }
        return m_average;
    }
    ++m_window;
    m_average += (x - m_average) / m_window;
    m_count = 0;
    m_sum = 0;
    return m_average;
}
