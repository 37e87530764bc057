#pragma once
// CPU time of this process or another one (user and system, all threads)
// for the benches that report what a window costs.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

inline double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// User + system CPU seconds from a /proc stat file (/proc/PID/stat or
// /proc/PID/task/TID/stat); -1 when it cannot be read. *name: the command
// name in brackets.
inline double StatCpuSeconds(const std::string& statPath, std::string* name = nullptr) {
    std::ifstream in(statPath);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return -1;
    if (name) *name = text.substr(open + 1, close - open - 1);
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::atof(f.c_str());
        if (i == 15) stime = std::atof(f.c_str());
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The same for a whole process.
inline double ProcessCpuSeconds(pid_t pid) { return StatCpuSeconds("/proc/" + std::to_string(pid) + "/stat"); }
