#pragma once
// tarvik-cli doctor: says in plain words what stands between the user and a
// working link on each serial port (or the one named), and how to fix it:
// a missing device, permission denied, a port held by another process, the
// services that grab new ports, the FTDI latency timer; then it tries each
// rate and reports the module's product and firmware, or that nothing
// answered.
#include <cstdint>
#include <cstdio>
#include <string>

struct DoctorRequest {
    std::string port;          // empty: every port found
    int32_t baud = 0;          // 0: every rate of kBaudRates
    int32_t timeoutMs = 30;
    int32_t deviceId = 1;
};

// Where the checks look; tests point these at fake trees.
struct DoctorRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string dev = "/dev";
    std::string proc = "/proc";
    // Files that show a port-grabbing service installed but not running now:
    // brltty's udev rules start it when a matching bridge is plugged in.
    std::string brlttyUdevRules = "/usr/lib/udev/rules.d/85-brltty.rules";
    std::string modemManagerProgram = "/usr/sbin/ModemManager";
};

// Writes the diagnosis to `out`. Returns 0 when a module answered on some
// port, 1 otherwise.
int RunDoctor(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots = {});
