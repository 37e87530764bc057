#include "app/multimedia_timer.h"

#include <ctime>
#include <sys/prctl.h>

CMultimediaTimer::CMultimediaTimer() {
    // The finest timer slack the kernel allows (1 ns) makes the 1 ms waits of
    // the receive loop wake on time; the old slack is put back at exit.
    const int old = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (old >= 0) {
        m_oldSlack = old;
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    }
    m_period = 1;
}

CMultimediaTimer::~CMultimediaTimer() {
    Kill();
    if (m_oldSlack >= 0 && m_period != 0) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(m_oldSlack), 0, 0, 0);
}

int32_t CMultimediaTimer::Start() {
    Kill();
    m_stop = false;
    static std::atomic<int32_t> nextId{1};
    const int32_t id = nextId++;
    const uint32_t period = m_period;
    m_thread = std::thread([this, id, period] {
        timespec next{};
        clock_gettime(CLOCK_MONOTONIC, &next);
        while (!m_stop.load()) {
            next.tv_nsec += static_cast<long>(period) * 1000000L;
            while (next.tv_nsec >= 1000000000L) {
                next.tv_nsec -= 1000000000L;
                ++next.tv_sec;
            }
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            if (m_stop.load()) break;
            ++m_ticks;
            OnTick(id, 0);
        }
    });
    m_timerId = id;
    return id;
}

void CMultimediaTimer::Kill() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    m_timerId = -1;
}

void CMultimediaTimer::OnTick(int32_t timerId, uint32_t message) {
    (void)timerId;
    (void)message;
}
