#include "device/tick.h"

#include <time.h>

uint32_t GetTickCountMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    // Only the low 32 bits are kept; callers compare ticks with unsigned
    // subtraction, so the wrap every 49.7 days is harmless.
    return static_cast<uint32_t>(ms);
}
