// tarvik-ui-cpu: what the program costs while it shows each page, and how
// long it takes to start. Runs `tarvik-ui --simulate` once per page (AHRS,
// Frequency running, Vibration running, Sync data not running,
// Configuration) from a fresh settings file with the Chart and Probe windows
// hidden, and reports for each:
//   - the CPU time of the tarvik-ui process (all its threads, user + system,
//     from /proc) over the measured seconds, as a share of one core; the
//     time other processes held the cores is not in it, so the figure stays
//     comparable on a loaded machine;
//   - the X server's CPU over the same seconds, when it can be found (what
//     the program's drawing costs the display side);
//   - the resident memory (VmRSS) at the end of the measured seconds;
//   - the start-up marks the program writes with TARVIK_STARTUP_MARKS set
//     (app/startup_marks.h), in milliseconds from the start of the process:
//     above all "status-connected" (the status line shows "Device is
//     connected.") and "ahrs-first-frame" (the 3D view's first frame with a
//     pose read from the module).
// Not a test: run it by hand under Xvfb (figures in docs/performance.md):
//   xvfb-run -a -s "-screen 0 1600x1200x24" <build>/bin/tarvik-ui-cpu [seconds] [rounds] [tabs]
// tabs: the pages to run by their tab positions, as "0,1" (default: all five).
#include "bench/cpu_time.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Page {
    const char* name;
    int tab;
};
const Page kPages[] = {
    {"AHRS", 0}, {"Frequency, running", 1}, {"Vibration, running", 2}, {"Sync data, not running", 3},
    {"Configuration", 4},
};

// Start-up marks in the order the program passes them.
const char* const kMarks[] = {"qt-started",  "simulator-ready", "window-built",     "connect-start",
                              "link-up",     "pages-reloaded",  "init-done",        "status-connected",
                              "ahrs-first-frame"};

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// CPU seconds of each thread of a process, by thread id, with its name.
struct ThreadCpu {
    std::string name;
    double seconds = 0;
};
std::map<pid_t, ThreadCpu> ThreadCpuSeconds(pid_t pid) {
    std::map<pid_t, ThreadCpu> threads;
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(base.c_str());
    if (!d) return threads;
    while (dirent* e = readdir(d)) {
        const pid_t tid = std::atoi(e->d_name);
        if (tid <= 0) continue;
        ThreadCpu t;
        t.seconds = StatCpuSeconds(base + "/" + e->d_name + "/stat", &t.name);
        if (t.seconds >= 0) threads[tid] = t;
    }
    closedir(d);
    return threads;
}

// VmRSS in MB, -1 when unknown.
double ResidentMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// The Xvfb (or other X server) process that serves $DISPLAY, or -1.
pid_t XServerPid() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return -1;
    std::string want = display;
    if (const size_t dot = want.find('.', want.find(':')); dot != std::string::npos) want.resize(dot);
    DIR* d = opendir("/proc");
    if (!d) return -1;
    pid_t found = -1;
    while (dirent* e = readdir(d)) {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0) continue;
        std::ifstream in(std::string("/proc/") + e->d_name + "/cmdline");
        std::string cmd((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> args;
        for (size_t s = 0; s < cmd.size();) {
            const size_t z = cmd.find('\0', s);
            args.push_back(cmd.substr(s, z == std::string::npos ? std::string::npos : z - s));
            if (z == std::string::npos) break;
            s = z + 1;
        }
        if (args.empty() || args[0].find('X') == std::string::npos) continue;
        if (std::find(args.begin() + 1, args.end(), want) != args.end()) {
            found = pid;
            break;
        }
    }
    closedir(d);
    return found;
}

struct RunResult {
    bool ok = false;
    std::string error;
    double cpuShare = 0;   // of one core
    double xShare = -1;    // X server, -1 when not found
    double rssMb = 0;
    std::map<std::string, double> marks;  // ms from the start of the process
    std::map<std::string, double> threads;  // share of one core by thread (named)
};

// Reads whatever the child wrote to stderr within waitMs, collecting marks.
void DrainMarks(int fd, std::string& pending, double t0, std::map<std::string, double>& marks, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, waitMs) <= 0) return;
    char buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return;
    pending.append(buf, static_cast<size_t>(n));
    size_t nl;
    while ((nl = pending.find('\n')) != std::string::npos) {
        const std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        char name[64];
        double ms = 0;
        if (std::sscanf(line.c_str(), "startup-mark %63s %lf", name, &ms) == 2) marks[name] = ms - t0;
    }
}

RunResult RunPage(const std::string& program, const Page& page, double seconds) {
    RunResult r;
    CTempDir dir;
    {
        std::ofstream ini(dir.File("TARVIK_UI.ini"));
        ini << "[Property]\nmainTabSel=" << page.tab
            << "\nchartWinShow=0\nbplotWinShow=0\nstartFft=1\nstartVibr=1\nstartSync=0\n";
    }
    int errPipe[2];
    if (pipe(errPipe) != 0) {
        r.error = "pipe";
        return r;
    }
    const double t0 = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.Path().c_str()) != 0) _exit(127);
        setenv("TARVIK_STARTUP_MARKS", "1", 1);
        dup2(errPipe[1], 2);
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) dup2(devnull, 1);
        close(errPipe[0]);
        close(errPipe[1]);
        execl(program.c_str(), program.c_str(), "--simulate", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(errPipe[1]);
    const int fd = errPipe[0];
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string pending;

    // Start-up: the status line, and on the AHRS page its first frame.
    const bool wantFrame = page.tab == 0;
    auto startedUp = [&] { return r.marks.count("status-connected") && (!wantFrame || r.marks.count("ahrs-first-frame")); };
    while (!startedUp() && NowMs() - t0 < 30000) DrainMarks(fd, pending, t0, r.marks, 100);
    if (!startedUp()) {
        r.error = "the program did not report its start-up within 30 s; marks seen:";
        for (const auto& [name, ms] : r.marks) r.error += " " + name;
    } else {
        // Let the start-up's own work pass, then measure.
        const double settleEnd = NowMs() + 2000;
        while (NowMs() < settleEnd) DrainMarks(fd, pending, t0, r.marks, 100);
        const pid_t xserver = XServerPid();
        const double c0 = ProcessCpuSeconds(pid);
        const auto t0s = ThreadCpuSeconds(pid);
        const double x0 = xserver > 0 ? ProcessCpuSeconds(xserver) : -1;
        const double w0 = NowMs();
        while (NowMs() - w0 < seconds * 1000) DrainMarks(fd, pending, t0, r.marks, 100);
        const double c1 = ProcessCpuSeconds(pid);
        const auto t1s = ThreadCpuSeconds(pid);
        const double x1 = xserver > 0 ? ProcessCpuSeconds(xserver) : -1;
        const double wall = (NowMs() - w0) / 1000.0;
        r.rssMb = ResidentMb(pid);
        r.cpuShare = (c1 - c0) / wall;
        // The main (UI) thread is the process's first; the other threads are
        // summed by name (Mesa's llvmpipe-N workers, Qt's xcb event reader,
        // the 1 ms multimedia timer thread, which keeps the program's name).
        for (const auto& [tid, t] : t1s) {
            const auto before = t0s.find(tid);
            const double used = t.seconds - (before != t0s.end() ? before->second.seconds : 0);
            std::string name = tid == pid ? "UI thread" : t.name;
            if (tid != pid && t.name == "tarvik-ui") name = "1 ms timer thread";
            if (name.rfind("llvmpipe", 0) == 0) name = "llvmpipe (GL)";
            r.threads[name] += used / wall;
        }
        if (xserver > 0 && x0 >= 0 && x1 >= 0) r.xShare = (x1 - x0) / wall;
        r.ok = c0 >= 0 && c1 >= 0;
        if (!r.ok) r.error = "the program ended early";
    }
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i) DrainMarks(fd, pending, t0, r.marks, 50);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    close(fd);
    return r;
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const std::string tabs = argc > 3 ? argv[3] : "0,1,2,3,4";
    auto wanted = [&](int tab) { return tabs.find(std::to_string(tab)) != std::string::npos; };
    const std::string program = BinDir() + "/tarvik-ui";
    if (access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "no %s (TARVIK_BIN_DIR)\n", program.c_str());
        return 1;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "no display: run under xvfb-run\n");
        return 1;
    }
    std::printf("tarvik-ui --simulate, CPU time of the process over %.0f s per page, %d round(s)\n", seconds, rounds);
    std::fflush(stdout);

    const int pageCount = static_cast<int>(sizeof kPages / sizeof kPages[0]);
    std::vector<std::vector<RunResult>> results(pageCount);
    int failures = 0;
    for (int round = 0; round < rounds; ++round)
        for (int p = 0; p < pageCount; ++p) {
            if (!wanted(kPages[p].tab)) continue;
            RunResult r = RunPage(program, kPages[p], seconds);
            if (!r.ok) {
                ++failures;
                std::fprintf(stderr, "%s: %s\n", kPages[p].name, r.error.c_str());
            }
            results[p].push_back(r);
        }

    std::printf("\n| page shown | CPU, %% of one core (each round) | median | X server, median | resident MB |\n");
    std::printf("|---|---|---|---|---|\n");
    std::map<std::string, std::vector<double>> marks;
    std::vector<double> rss;
    for (int p = 0; p < pageCount; ++p) {
        if (results[p].empty()) continue;
        std::vector<double> cpu, xs, mem;
        std::string each;
        for (const RunResult& r : results[p]) {
            if (!r.ok) continue;
            cpu.push_back(100 * r.cpuShare);
            if (r.xShare >= 0) xs.push_back(100 * r.xShare);
            mem.push_back(r.rssMb);
            rss.push_back(r.rssMb);
            char b[32];
            std::snprintf(b, sizeof b, "%s%.1f", each.empty() ? "" : ", ", 100 * r.cpuShare);
            each += b;
            for (const auto& [name, ms] : r.marks) marks[name].push_back(ms);
        }
        char x[32] = "-";
        if (!xs.empty()) std::snprintf(x, sizeof x, "%.1f %%", Median(xs));
        std::printf("| %s | %s | %.1f %% | %s | %.0f |\n", kPages[p].name, each.c_str(), Median(cpu), x, Median(mem));
    }
    std::printf("\n| page shown | by thread, %% of one core (median over rounds) |\n|---|---|\n");
    for (int p = 0; p < pageCount; ++p) {
        if (results[p].empty()) continue;
        std::map<std::string, std::vector<double>> byName;
        for (const RunResult& r : results[p])
            if (r.ok)
                for (const auto& [name, share] : r.threads) byName[name].push_back(100 * share);
        std::string line;
        for (const auto& [name, v] : byName) {
            char b[96];
            std::snprintf(b, sizeof b, "%s%s %.2f", line.empty() ? "" : "; ", name.c_str(), Median(v));
            line += b;
        }
        std::printf("| %s | %s |\n", kPages[p].name, line.c_str());
    }
    if (!rss.empty())
        std::printf("\nresident memory after %.0f s: %.0f to %.0f MB\n", seconds + 2,
                    *std::min_element(rss.begin(), rss.end()), *std::max_element(rss.begin(), rss.end()));

    std::printf("\n| start-up mark (ms from the process start) | median | min | max | runs |\n|---|---|---|---|---|\n");
    for (const char* name : kMarks) {
        const auto it = marks.find(name);
        if (it == marks.end()) continue;
        const std::vector<double>& v = it->second;
        std::printf("| %s | %.0f | %.0f | %.0f | %zu |\n", name, Median(v), *std::min_element(v.begin(), v.end()),
                    *std::max_element(v.begin(), v.end()), v.size());
    }
    return failures == 0 ? 0 : 2;
}
