#include "cli/doctor.h"

#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Report {
public:
    explicit Report(std::FILE* out) : m_out(out) {}
    void Line(const std::string& text) { std::fprintf(m_out, "%s\n", text.c_str()); }
    void Ok(const std::string& text) { Line("  ok: " + text); }
    void Note(const std::string& text) { Line("  note: " + text); }
    void Problem(const std::string& text, const std::string& fix) {
        Line("  PROBLEM: " + text);
        if (!fix.empty()) Line("    fix: " + fix);
    }

private:
    std::FILE* m_out;
};

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The path with every symbolic link resolved; the path itself when that fails.
std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::canonical(path, ec);
    return ec ? path : p.string();
}

// by-id names per device: canonical device path -> the by-id links to it.
std::map<std::string, std::vector<std::string>> ByIdNames(const DoctorRoots& roots) {
    std::map<std::string, std::vector<std::string>> names;
    std::error_code ec;
    const fs::path dir = fs::path(roots.dev) / "serial" / "by-id";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        names[Canonical(it->path().string())].push_back(it->path().string());
    for (auto& [device, links] : names) std::sort(links.begin(), links.end());
    return names;
}

// The ports to check: device nodes first, without their by-id aliases.
std::vector<std::string> DevicePorts(const DoctorRoots& roots) {
    std::vector<std::string> ports;
    const std::string byId = (fs::path(roots.dev) / "serial" / "by-id").string();
    for (const std::string& p : EnumerateSerialPorts(roots.sysClassTty, roots.dev))
        if (p.rfind(byId, 0) != 0) ports.push_back(p);
    return ports;
}

std::string UserName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? pw->pw_name : std::to_string(::geteuid());
}

std::string GroupName(gid_t gid) {
    const group* g = ::getgrgid(gid);
    return g && g->gr_name ? g->gr_name : std::to_string(gid);
}

std::string OwnerName(uid_t uid) {
    const passwd* pw = ::getpwuid(uid);
    return pw && pw->pw_name ? pw->pw_name : std::to_string(uid);
}

// Whether this process has the group now (effective or supplementary).
bool ProcessHasGroup(gid_t gid) {
    if (::getegid() == gid) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the user database puts the user into the group (takes effect at
// the next login when the process does not have it yet).
bool UserListedInGroup(const std::string& user, gid_t gid) {
    const passwd* pw = ::getpwnam(user.c_str());
    if (pw && pw->pw_gid == gid) return true;
    const group* g = ::getgrgid(gid);
    if (g == nullptr || g->gr_mem == nullptr) return false;
    for (char** m = g->gr_mem; *m; ++m)
        if (user == *m) return true;
    return false;
}

std::string ModeText(mode_t mode) {
    std::string s = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISREG(mode) ? "-" : "?";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) s += (mode & (0400 >> i)) ? rwx[i] : '-';
    return s;
}

struct Process {
    int pid = 0;
    std::string name;     // /proc/PID/comm
    std::string command;  // /proc/PID/cmdline, arguments joined by blanks
    bool peer = false;    // holds the master side of the same pseudo-terminal
};

std::vector<int> Pids(const DoctorRoots& roots) {
    std::vector<int> pids;
    std::error_code ec;
    for (fs::directory_iterator it(roots.proc, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.size() > 9 ||
            !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        pids.push_back(std::atoi(name.c_str()));
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

Process Describe(const DoctorRoots& roots, int pid) {
    Process p;
    p.pid = pid;
    const fs::path dir = fs::path(roots.proc) / std::to_string(pid);
    p.name = FirstLine(dir / "comm");
    std::ifstream in(dir / "cmdline", std::ios::binary);
    std::string arg;
    while (std::getline(in, arg, '\0')) p.command += (p.command.empty() ? "" : " ") + arg;
    return p;
}

// The pseudo-terminal number of a /dev/pts/N device, or -1.
int PtyNumber(const std::string& device) {
    const std::string prefix = "/dev/pts/";
    if (device.rfind(prefix, 0) != 0) return -1;
    const std::string n = device.substr(prefix.size());
    if (n.empty() || n.size() > 9 || !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(n);
}

// Processes (other than this one) with a descriptor open on the device;
// *hidden counts those whose descriptors could not be read. A process that
// also holds the master side of the same pseudo-terminal (its fdinfo names
// the tty index) is the link's other end, not a competitor: `peer` is set.
std::vector<Process> Holders(const DoctorRoots& roots, const std::string& device, int* hidden) {
    std::vector<Process> holders;
    *hidden = 0;
    const int self = static_cast<int>(::getpid());
    const int pty = PtyNumber(device);
    for (int pid : Pids(roots)) {
        if (pid == self) continue;
        std::error_code ec;
        const fs::path procDir = fs::path(roots.proc) / std::to_string(pid);
        fs::directory_iterator it(procDir / "fd", ec);
        if (ec) {
            if (ec.value() == EACCES || ec.value() == EPERM) ++*hidden;
            continue;
        }
        bool holds = false, master = false;
        for (fs::directory_iterator end; it != end; it.increment(ec)) {
            if (ec) break;
            std::error_code lec;
            const std::string target = fs::read_symlink(it->path(), lec).string();
            if (lec) continue;
            if (target == device) holds = true;
            if (pty >= 0 && target == "/dev/ptmx") {
                std::ifstream info(procDir / "fdinfo" / it->path().filename());
                for (std::string line; std::getline(info, line);)
                    if (line.rfind("tty-index:", 0) == 0 && std::atoi(line.c_str() + 10) == pty) master = true;
            }
        }
        if (holds || master) {
            Process p = Describe(roots, pid);
            p.peer = master;
            holders.push_back(p);
        }
    }
    return holders;
}

// Running processes whose name is `name`.
std::vector<int> Running(const DoctorRoots& roots, const std::string& name) {
    std::vector<int> found;
    for (int pid : Pids(roots))
        if (FirstLine(fs::path(roots.proc) / std::to_string(pid) / "comm") == name) found.push_back(pid);
    return found;
}

std::string PidList(const std::vector<int>& pids) {
    std::string s;
    for (int p : pids) s += (s.empty() ? "" : ", ") + std::to_string(p);
    return s;
}

void CheckServices(Report& r, const DoctorRoots& roots) {
    r.Line("services that grab serial ports:");
    bool any = false;
    const std::vector<int> mm = Running(roots, "ModemManager");
    if (!mm.empty()) {
        any = true;
        r.Problem("ModemManager is running (process " + PidList(mm) +
                      "); it opens every new serial port to look for a modem and can hold it, or send AT "
                      "commands to the module, for seconds after it is plugged in",
                  "sudo systemctl disable --now ModemManager, or keep it and install the udev rule of "
                  "packaging/99-tarvik.rules, which marks the bridge ID_MM_DEVICE_IGNORE");
    }
    const std::vector<int> brl = Running(roots, "brltty");
    if (!brl.empty()) {
        any = true;
        r.Problem("brltty is running (process " + PidList(brl) +
                      "); it claims some USB serial bridges as braille displays, and their port then "
                      "vanishes right after it appears",
                  "sudo systemctl mask --now brltty-udev.service brltty.service, or sudo apt remove brltty "
                  "when no braille display is used");
    }
    std::error_code ec;
    if (mm.empty() && fs::exists(roots.modemManagerProgram, ec))
        r.Note("ModemManager is installed but not running; if it is started it will probe the port too");
    if (brl.empty() && fs::exists(roots.brlttyUdevRules, ec)) {
        any = true;
        r.Problem("brltty is installed and its udev rules (" + roots.brlttyUdevRules +
                      ") start it when a USB serial bridge it knows is plugged in; the port then vanishes",
                  "sudo systemctl mask brltty-udev.service brltty.service, or sudo apt remove brltty");
    }
    if (!any) r.Ok("neither ModemManager nor brltty is running");
}

void CheckLatency(Report& r, const DoctorRoots& roots, const std::string& ttyName) {
    const fs::path device = fs::path(roots.sysClassTty) / ttyName / "device";
    std::error_code ec;
    const std::string driver = fs::read_symlink(device / "driver", ec).filename().string();
    if (ec || driver != "ftdi_sio") {
        r.Ok("no FTDI latency timer to check: not an FTDI bridge" +
             (ec ? std::string() : " (driver " + driver + ")"));
        return;
    }
    const fs::path timer = device / "latency_timer";
    const std::string value = FirstLine(timer);
    if (value.empty()) {
        r.Note("FTDI bridge, but its latency timer cannot be read (" + timer.string() + ")");
        return;
    }
    if (value == "1") {
        r.Ok("FTDI latency timer 1 ms");
        return;
    }
    r.Problem("FTDI latency timer " + value +
                  " ms: the bridge holds short replies that long, so exchanges are slow or time out; the "
                  "program sets 1 ms itself only where it may write the file",
              "echo 1 | sudo tee " + Canonical(timer.string()) +
                  ", or the udev rule of packaging/99-tarvik.rules to set it at every plug-in");
}

// One rate: the connect procedure; on success the product, firmware and
// hardware. On failure a plain read of the product tells another device
// from silence. Returns 1 when a module answered, 0 when nothing (or another
// product) did, -1 when the port did not open.
int TryRate(Report& r, const DoctorRequest& q, const std::string& port, uint32_t rate) {
    const std::string at = "  " + std::to_string(rate) + " bit/s: ";
    if (TryConnect(port.c_str(), rate, q.timeoutMs, q.deviceId) && g_pObjectAccess) {
        int32_t product = 0, firmware = 0, hardware = 0;
        g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &product, 1);
        const bool fw = g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_FIRMWARE_VERSION, 0, &firmware, 1);
        const bool hw = g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_HARDWARE_VERSION, 0, &hardware, 1);
        char text[160];
        char fwText[16] = "?", hwText[16] = "?";
        if (fw) std::snprintf(fwText, sizeof fwText, "%.2f", firmware / 100.0);
        if (hw) std::snprintf(hwText, sizeof hwText, "%.2f", hardware / 100.0);
        std::snprintf(text, sizeof text, "a module answered: product %d (Tarvik), firmware %s, hardware %s",
                      static_cast<int>(product), fwText, hwText);
        r.Line(at + text);
        DisconnectDevice();
        return 1;
    }
    if (LastConnectOpenError() != 0) {
        r.Line(at + "not tried: " + DescribeOpenError(LastConnectOpenError(), port));
        return -1;
    }
    CSerialCOM com(port.c_str(), rate);
    int32_t product = 0;
    if (com.Open()) {
        CObjectAccess access(&com, q.timeoutMs, q.deviceId);
        if (access.GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &product, 1)) {
            r.Line(at + "a device answered with product " + std::to_string(product) +
                   ", which is not a Tarvik module (" + std::to_string(od::kProductTarvik) + ")");
            return 0;
        }
    }
    r.Line(at + "nothing answered");
    return 0;
}

// Every check on one port; true when a module answered.
bool CheckPort(Report& r, const DoctorRequest& q, const DoctorRoots& roots, const std::string& port,
               const std::map<std::string, std::vector<std::string>>& byId) {
    const std::string device = Canonical(port);
    std::string title = "port " + port;
    if (device != port) title += " -> " + device;
    auto ids = byId.find(device);
    if (ids != byId.end())
        for (const std::string& link : ids->second)
            if (link != port) title += "\n  also known as " + link;
    r.Line(title);

    struct stat st {};
    if (::stat(port.c_str(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) {
            r.Problem("the device is missing: " + port + " does not exist" +
                          (fs::is_symlink(fs::symlink_status(port)) ? " (a link to nothing)" : ""),
                      "plug the module in (dmesg shows the port it gets), or name another port with --port");
            const std::vector<std::string> ports = DevicePorts(roots);
            if (ports.empty()) {
                r.Line("  serial ports present: none");
            } else {
                r.Line("  serial ports present:");
                for (const std::string& p : ports) {
                    std::string line = "    " + p;
                    auto found = byId.find(Canonical(p));
                    if (found != byId.end())
                        for (const std::string& link : found->second) line += "  (" + link + ")";
                    r.Line(line);
                }
            }
        } else {
            r.Problem("cannot look at " + port + ": " + std::strerror(e), "");
        }
        return false;
    }
    char kind[96];
    if (S_ISCHR(st.st_mode))
        std::snprintf(kind, sizeof kind, "the device exists (character device %u,%u)", major(st.st_rdev),
                      minor(st.st_rdev));
    else
        std::snprintf(kind, sizeof kind, "%s exists but is not a character device", port.c_str());
    if (S_ISCHR(st.st_mode)) r.Ok(kind);
    else r.Problem(kind, "name the serial device itself, e.g. /dev/ttyUSB0 or a /dev/serial/by-id name");

    bool mayOpen = true;
    if (::access(port.c_str(), R_OK | W_OK) != 0) {
        mayOpen = false;
        const std::string user = UserName();
        const std::string group = GroupName(st.st_gid);
        std::string text = "permission denied: " + port + " belongs to user " + OwnerName(st.st_uid) + ", group " +
                           group + " (" + ModeText(st.st_mode) + ")";
        std::string fix;
        const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        if (ProcessHasGroup(st.st_gid)) {
            text += "; you (" + user + ") are in group " + group + ", but the group may not read and write it";
            fix = "give the device mode 0660 with a udev rule (packaging/99-tarvik.rules)";
        } else if (UserListedInGroup(user, st.st_gid)) {
            text += "; you (" + user + ") were added to group " + group + ", but this login started before that";
            fix = "log out and in again (or run: newgrp " + group + ")";
        } else if (st.st_gid == 0) {
            text += "; you (" + user + ") are not in group " + group;
            fix = "give the device group dialout and mode 0660 with a udev rule (packaging/99-tarvik.rules), "
                  "then: sudo usermod -aG dialout " + user + " and log out and in again";
        } else {
            text += "; you (" + user + ") are not in group " + group;
            fix = "sudo usermod -aG " + group + " " + user + ", then log out and in again";
            if (!groupMayUse) fix += "; the group may not read and write it either: see packaging/99-tarvik.rules";
        }
        r.Problem(text, fix);
    } else {
        r.Ok("you may read and write it");
    }

    int hidden = 0;
    const std::vector<Process> holders = Holders(roots, device, &hidden);
    bool held = false;
    for (const Process& p : holders) {
        const std::string who = "process " + std::to_string(p.pid) + " (" + p.name +
                                (p.command.empty() ? "" : ": " + p.command) + ")";
        if (p.peer) {
            r.Ok("the other end of this pseudo-terminal is " + who);
            continue;
        }
        held = true;
        r.Problem("held open by " + who, "end that program, or: kill " + std::to_string(p.pid));
    }
    if (!held) r.Ok("no other process has it open");
    if (hidden > 0 && ::geteuid() != 0)
        r.Note(std::to_string(hidden) + " processes of other users could not be looked at (sudo shows them)");

    const std::string ttyName = fs::path(device).filename().string();
    CheckLatency(r, roots, ttyName);

    if (!mayOpen) {
        r.Line("  rates: not tried, the port cannot be opened");
        return false;
    }
    std::vector<uint32_t> rates;
    if (q.baud > 0) rates.push_back(static_cast<uint32_t>(q.baud));
    else rates.assign(std::begin(kBaudRates), std::end(kBaudRates));
    for (uint32_t rate : rates) {
        const int result = TryRate(r, q, port, rate);
        if (result != 0) return result > 0;
    }
    return false;
}

}  // namespace

int RunDoctor(const DoctorRequest& request, std::FILE* out, const DoctorRoots& roots) {
    Report r(out);
    const auto byId = ByIdNames(roots);
    CheckServices(r, roots);

    std::vector<std::string> ports;
    if (!request.port.empty()) ports.push_back(request.port);
    else ports = DevicePorts(roots);
    if (ports.empty()) {
        r.Line("no serial port found");
        r.Line("  PROBLEM: no serial device is present");
        r.Line("    fix: plug the module in and look at the end of dmesg for the port it gets");
    }
    std::string answered;
    for (const std::string& port : ports) {
        if (CheckPort(r, request, roots, port, byId) && answered.empty()) answered = port;
    }
    if (!answered.empty()) {
        r.Line("result: a module answered on " + answered);
        return 0;
    }
    r.Line("result: no module answered");
    return 1;
}
