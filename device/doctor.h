#pragma once
// The doctor: says in plain words what stands between the user and a working
// link on each serial port (or the one named), and how to fix it: a missing
// device, permission denied, a port held by another process, the services that
// grab new ports, the FTDI latency timer; then it tries each rate and reports
// the module's product and firmware, or that nothing answered.
//
// The report comes as lines (what tarvik-cli doctor prints and the window
// shows) and as findings per port (for --json and the window's "Use This
// Port"). A run can be followed line by line and step by step, and cancelled
// between steps; it touches none of the connection globals, so that it may run
// on a worker thread beside the window.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DoctorRequest {
    std::string port;          // empty: every port found
    int32_t baud = 0;          // 0: every rate of od::kBaudRates
    int32_t timeoutMs = 30;
    int32_t deviceId = 1;
    // When the named port has no module behind it, also try every rate on
    // the other ports found, so that the window can offer the one that
    // answers. tarvik-cli leaves this off.
    bool searchOtherPorts = false;
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

    // The same places below `root` (a folder that holds sys/, dev/, proc/
    // and usr/ as the system does); "/" gives the defaults above.
    static DoctorRoots Under(const std::string& root);
};

enum class DoctorLineKind : uint8_t {
    Heading,  // "services that grab serial ports:", "port /dev/ttyUSB0", "result: ..."
    Ok,       // "  ok: ..."
    Note,     // "  note: ..."
    Problem,  // "  PROBLEM: ..."
    Fix,      // "    fix: ..." (the line after its problem)
    Answer,   // a rate at which the module answered
    Detail,   // everything else: rates tried, ports present, ...
};

struct DoctorLine {
    DoctorLineKind kind = DoctorLineKind::Detail;
    std::string text;
};

struct DoctorFinding {
    enum Kind : uint8_t { Ok, Note, Problem };
    Kind kind = Ok;
    std::string text;
    std::string fix;  // problems only; may be empty
};

// One rate tried on one port.
struct DoctorRate {
    enum Answer : uint8_t { Module, OtherDevice, Nothing, NotOpened };
    uint32_t rate = 0;
    Answer answer = Nothing;
    int32_t product = 0;      // Module, OtherDevice
    std::string firmware;     // Module: "2.45", "?" when the read failed
    std::string hardware;
    std::string reason;       // NotOpened: why the port did not open
};

struct DoctorPort {
    std::string port;
    std::string device;                 // the port with its links resolved
    std::vector<std::string> aliases;   // other /dev/serial/by-id names of the device
    std::vector<DoctorFinding> findings;
    std::vector<std::string> present;   // a missing port: the ports there are
    std::string ratesNotTried;          // why no rate was tried; empty when they were
    std::vector<DoctorRate> rates;
    bool searched = false;              // tried only in the search of the other ports
};

struct DoctorReport {
    std::vector<DoctorFinding> services;
    std::vector<DoctorFinding> general;  // not about one port: no port at all
    std::vector<DoctorPort> ports;
    std::vector<DoctorLine> lines;
    // Where and at which rate a module answered; empty port: nowhere.
    std::string modulePort;
    uint32_t moduleRate = 0;
    bool cancelled = false;
};

// Following a run: each line as it is written, each step before it starts
// ("trying /dev/ttyUSB0 at 9600 bit/s"), and the flag that ends the run at
// the next step. All may be empty or null; the callbacks run on the thread
// that runs the doctor.
struct DoctorProgress {
    std::function<void(const DoctorLine&)> line;
    std::function<void(const std::string&)> step;
    const std::atomic<bool>* cancel = nullptr;
};

DoctorReport Diagnose(const DoctorRequest& request, const DoctorRoots& roots = {},
                      const DoctorProgress& progress = {});
