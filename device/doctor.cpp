#include "device/doctor.h"

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
#include <cstdio>
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

// Writes the lines and keeps the findings of the section being written.
class Report {
public:
    Report(DoctorReport& out, const DoctorProgress& progress) : m_out(out), m_progress(progress) {}
    void Line(const std::string& text, DoctorLineKind kind = DoctorLineKind::Detail) {
        m_out.lines.push_back({kind, text});
        if (m_progress.line) m_progress.line(m_out.lines.back());
    }
    void Ok(const std::string& text) {
        Line("  ok: " + text, DoctorLineKind::Ok);
        Keep({DoctorFinding::Ok, text, ""});
    }
    void Note(const std::string& text) {
        Line("  note: " + text, DoctorLineKind::Note);
        Keep({DoctorFinding::Note, text, ""});
    }
    void Problem(const std::string& text, const std::string& fix) {
        Line("  PROBLEM: " + text, DoctorLineKind::Problem);
        if (!fix.empty()) Line("    fix: " + fix, DoctorLineKind::Fix);
        Keep({DoctorFinding::Problem, text, fix});
    }
    // Where the findings go from now on.
    void Into(std::vector<DoctorFinding>* findings) { m_findings = findings; }
    void Step(const std::string& what) {
        if (m_progress.step) m_progress.step(what);
    }
    bool Cancelled() const { return m_progress.cancel && m_progress.cancel->load(); }
    DoctorReport& Out() { return m_out; }

private:
    void Keep(DoctorFinding f) {
        if (m_findings) m_findings->push_back(std::move(f));
    }
    DoctorReport& m_out;
    const DoctorProgress& m_progress;
    std::vector<DoctorFinding>* m_findings = nullptr;
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
    r.Step("looking for services that grab serial ports");
    r.Into(&r.Out().services);
    r.Line("services that grab serial ports:", DoctorLineKind::Heading);
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
// from silence.
DoctorRate TryRate(const DoctorRequest& q, const std::string& port, uint32_t rate) {
    DoctorRate result;
    result.rate = rate;
    ModuleLink link = OpenModule(port.c_str(), rate, q.timeoutMs, q.deviceId);
    if (link) {
        int32_t firmware = 0, hardware = 0;
        link.access->GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &result.product, 1);
        const bool fw = link.access->GetObjectXXX(OBJ_INT32, od::OBJ_FIRMWARE_VERSION, 0, &firmware, 1);
        const bool hw = link.access->GetObjectXXX(OBJ_INT32, od::OBJ_HARDWARE_VERSION, 0, &hardware, 1);
        char fwText[16] = "?", hwText[16] = "?";
        if (fw) std::snprintf(fwText, sizeof fwText, "%.2f", firmware / 100.0);
        if (hw) std::snprintf(hwText, sizeof hwText, "%.2f", hardware / 100.0);
        result.answer = DoctorRate::Module;
        result.firmware = fwText;
        result.hardware = hwText;
        return result;
    }
    if (link.openError != 0) {
        result.answer = DoctorRate::NotOpened;
        result.reason = DescribeOpenError(link.openError, port);
        return result;
    }
    CSerialCOM com(port.c_str(), rate);
    if (com.Open()) {
        CObjectAccess access(&com, q.timeoutMs, q.deviceId);
        if (access.GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &result.product, 1)) {
            result.answer = DoctorRate::OtherDevice;
            return result;
        }
    }
    result.product = 0;
    result.answer = DoctorRate::Nothing;
    return result;
}

// What answered at a rate, in words ("nothing answered", ...).
std::string AnswerText(const DoctorRate& a) {
    switch (a.answer) {
    case DoctorRate::Module: {
        char text[160];
        std::snprintf(text, sizeof text, "a module answered: product %d (Tarvik), firmware %s, hardware %s",
                      static_cast<int>(a.product), a.firmware.c_str(), a.hardware.c_str());
        return text;
    }
    case DoctorRate::OtherDevice:
        return "a device answered with product " + std::to_string(a.product) + ", which is not a Tarvik module (" +
               std::to_string(od::kProductTarvik) + ")";
    case DoctorRate::NotOpened:
        return "not tried: " + a.reason;
    case DoctorRate::Nothing:
        break;
    }
    return "nothing answered";
}

// The rates to try: the one asked for, or every rate.
std::vector<uint32_t> Rates(const DoctorRequest& q) {
    std::vector<uint32_t> rates;
    if (q.baud > 0) rates.push_back(static_cast<uint32_t>(q.baud));
    else rates.assign(std::begin(od::kBaudRates), std::end(od::kBaudRates));
    return rates;
}

// Tries the rates in order until one answers or the port does not open.
// Returns the rate at which a module answered, 0 when none did.
uint32_t ScanRates(Report& r, const DoctorRequest& q, const std::string& port, DoctorPort& found, bool quiet) {
    for (uint32_t rate : Rates(q)) {
        if (r.Cancelled()) return 0;
        r.Step("trying " + port + " at " + std::to_string(rate) + " bit/s");
        found.rates.push_back(TryRate(q, port, rate));
        const DoctorRate& a = found.rates.back();
        if (!quiet)
            r.Line("  " + std::to_string(rate) + " bit/s: " + AnswerText(a),
                   a.answer == DoctorRate::Module ? DoctorLineKind::Answer : DoctorLineKind::Detail);
        if (a.answer == DoctorRate::Module) return rate;
        if (a.answer == DoctorRate::NotOpened) return 0;
    }
    return 0;
}

// Every check on one port; true when a module answered.
bool CheckPort(Report& r, const DoctorRequest& q, const DoctorRoots& roots, const std::string& port,
               const std::map<std::string, std::vector<std::string>>& byId) {
    r.Step("checking " + port);
    DoctorReport& out = r.Out();
    out.ports.emplace_back();
    DoctorPort& found = out.ports.back();
    found.port = port;
    r.Into(&found.findings);
    const std::string device = Canonical(port);
    found.device = device;
    std::string title = "port " + port;
    if (device != port) title += " -> " + device;
    r.Line(title, DoctorLineKind::Heading);
    auto ids = byId.find(device);
    if (ids != byId.end())
        for (const std::string& link : ids->second)
            if (link != port) {
                found.aliases.push_back(link);
                r.Line("  also known as " + link);
            }

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
                    found.present.push_back(p);
                    std::string line = "    " + p;
                    auto links = byId.find(Canonical(p));
                    if (links != byId.end())
                        for (const std::string& link : links->second) line += "  (" + link + ")";
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
        found.ratesNotTried = "the port cannot be opened";
        r.Line("  rates: not tried, " + found.ratesNotTried);
        return false;
    }
    const uint32_t rate = ScanRates(r, q, port, found, false);
    if (rate != 0 && out.modulePort.empty()) {
        out.modulePort = port;
        out.moduleRate = rate;
    }
    return rate != 0;
}

// The search for the module on the other ports, one line each.
void SearchOtherPorts(Report& r, const DoctorRequest& q, const DoctorRoots& roots, const std::string& skip) {
    r.Line("other ports, since no module answered on " + skip + ":", DoctorLineKind::Heading);
    const std::string skipDevice = Canonical(skip);
    int tried = 0;
    for (const std::string& port : DevicePorts(roots)) {
        if (r.Cancelled()) return;
        if (port == skip || Canonical(port) == skipDevice) continue;
        ++tried;
        DoctorReport& out = r.Out();
        out.ports.emplace_back();
        DoctorPort& found = out.ports.back();
        found.port = port;
        found.device = Canonical(port);
        found.searched = true;
        r.Into(&found.findings);
        const uint32_t rate = ScanRates(r, q, port, found, true);
        if (r.Cancelled()) return;
        if (rate != 0) {
            r.Line("  " + port + " at " + std::to_string(rate) + " bit/s: " + AnswerText(found.rates.back()),
                   DoctorLineKind::Answer);
            out.modulePort = port;
            out.moduleRate = rate;
            return;
        }
        if (!found.rates.empty() && found.rates.back().answer == DoctorRate::NotOpened)
            r.Line("  " + port + ": " + AnswerText(found.rates.back()));
        else
            r.Line("  " + port + ": no module answered at any rate tried");
    }
    if (tried == 0) r.Line("  no other serial port found");
}

}  // namespace

DoctorRoots DoctorRoots::Under(const std::string& root) {
    const fs::path r(root.empty() ? "/" : root);
    DoctorRoots roots;
    roots.sysClassTty = (r / "sys/class/tty").string();
    roots.dev = (r / "dev").string();
    roots.proc = (r / "proc").string();
    roots.brlttyUdevRules = (r / "usr/lib/udev/rules.d/85-brltty.rules").string();
    roots.modemManagerProgram = (r / "usr/sbin/ModemManager").string();
    return roots;
}

DoctorReport Diagnose(const DoctorRequest& request, const DoctorRoots& roots, const DoctorProgress& progress) {
    DoctorReport out;
    Report r(out, progress);
    const auto byId = ByIdNames(roots);
    CheckServices(r, roots);

    std::vector<std::string> ports;
    if (!request.port.empty()) ports.push_back(request.port);
    else ports = DevicePorts(roots);
    if (ports.empty()) {
        r.Into(&out.general);
        r.Line("no serial port found", DoctorLineKind::Heading);
        r.Problem("no serial device is present", "plug the module in and look at the end of dmesg for the port it gets");
    }
    for (const std::string& port : ports) {
        if (r.Cancelled()) break;
        CheckPort(r, request, roots, port, byId);
    }
    if (request.searchOtherPorts && !request.port.empty() && out.modulePort.empty() && !r.Cancelled())
        SearchOtherPorts(r, request, roots, request.port);
    if (r.Cancelled()) {
        out.cancelled = true;
        r.Line("cancelled", DoctorLineKind::Heading);
        return out;
    }
    if (!out.modulePort.empty()) r.Line("result: a module answered on " + out.modulePort, DoctorLineKind::Heading);
    else r.Line("result: no module answered", DoctorLineKind::Heading);
    return out;
}
