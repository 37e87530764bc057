#pragma once
// CMultimediaTimer: raises the timer precision of the process for its whole
// life (PR_SET_TIMERSLACK 1 ns, the old slack restored at destruction) and runs
// a periodic timer thread that calls OnTick every period.
#include <atomic>
#include <cstdint>
#include <thread>

class CMultimediaTimer {
public:
    CMultimediaTimer();
    virtual ~CMultimediaTimer();

    CMultimediaTimer(const CMultimediaTimer&) = delete;
    CMultimediaTimer& operator=(const CMultimediaTimer&) = delete;

    // Starts the periodic timer (first event after one period). Returns its
    // identifier, or -1 when it could not start. Starting twice restarts.
    int32_t Start();
    // Stops it; harmless when none runs.
    void Kill();

    virtual void OnTick(int32_t timerId, uint32_t message);

    uint32_t Period() const { return m_period; }
    int32_t TimerId() const { return m_timerId; }
    uint64_t Ticks() const { return m_ticks.load(); }

private:
    uint32_t m_period = 1;      // ms
    int32_t m_timerId = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_ticks{0};
    long m_oldSlack = -1;
};
