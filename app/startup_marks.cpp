#include "app/startup_marks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

namespace startup {

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void Mark(const char* name) {
    static const bool enabled = std::getenv("TARVIK_STARTUP_MARKS") != nullptr;
    if (!enabled || !name) return;
    static std::mutex lock;
    static std::vector<const char*> seen;
    const std::lock_guard<std::mutex> guard(lock);
    for (const char* s : seen)
        if (std::strcmp(s, name) == 0) return;
    seen.push_back(name);
    std::fprintf(stderr, "startup-mark %s %.1f\n", name, NowMs());
    std::fflush(stderr);
}

}  // namespace startup
