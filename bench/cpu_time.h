#pragma once
// CPU time of this process (user and system, all threads) for the benches
// that report what a window costs.
#include <sys/resource.h>

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
