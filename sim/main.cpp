// tarvik-sim: the Tarvik module on pseudo-terminals. See docs/simulator.md.
#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "sim/pty_link.h"
#include "sim/control_line.h"
#include "sim/module_model.h"
#include "sim/session_replay.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Options {
    std::string link, link1, state, control, log, syncLog;
    uint32_t baud = 115200, baud1 = 115200;
    bool baudGiven = false, baud1Given = false;
    bool pace = true;
    bool removeLinkFolder = false;  // the folder holding --link goes when the simulator ends
    int32_t product = od::kProductTarvik;
    double toneHz = 37.0, toneAmplitude = 2.0;
    std::vector<std::string> modelLines;  // control lines applied at start (options that mean the same)
    uint32_t statusBits = 0;
    std::string holdEuler, holdPosition;
    double drop = 0, corrupt = 0, noise = 0;
    int split = 0;
    int delayMs = 0;
    double unplugAfter = -1, unplugFor = 2;
    int id = 1;
    // The magnetometer (--mag-*): what the model starts with unless given.
    std::optional<double> magField, magInterference;
    std::optional<sim::Vec3> magOffset, magScale;
    std::optional<sim::MagTurns> magTurns;
    // --replay: a recorded session answers in place of the model.
    std::string replay;
    double speed = 1;
    bool loop = false, speedGiven = false;
};

[[noreturn]] void Usage(const char* why) {
    std::fprintf(stderr, "tarvik-sim: %s\n", why);
    std::fprintf(stderr,
                 "usage: tarvik-sim --link PATH [--remove-link-folder] [--link1 PATH] [--baud N] [--baud1 N]\n"
                 "                  [--state FILE] [--no-pace]\n"
                 "                  [--product N] [--id N] [--tone F[:A]] [--status-bits HEX]\n"
                 "                  [--hold-euler R,P,Y] [--hold-position X,Y,Z] [--control PATH] [--log FILE]\n"
                 "                  [--drop-replies P] [--corrupt-checksum P] [--noise-before-stx P]\n"
                 "                  [--split-replies N] [--delay-replies MS] [--unplug-after S] [--unplug-for S]\n"
                 "                  [--firmware N] [--hardware N] [--vibration FD[:ZETA[:AMP]]] [--sync-log FILE]\n"
                 "                  [--fail-calibration KIND] [--hang-calibration KIND] [--calibration-time KIND=S]\n"
                 "                  [--probe-wave sine|ramp|square|off] [--probe-ignore N] [--probe-never-ready]\n"
                 "                  [--drop-request OBJ[:SUB][/N]] [--force OBJ[:EL]=V[,V...]]\n"
                 "                  [--mag-field UT] [--mag-offset X,Y,Z] [--mag-scale SX,SY,SZ]\n"
                 "                  [--mag-interference P] [--mag-turns full|half|flat]\n"
                 "                  [--replay FILE [--speed X] [--loop]]\n"
                 "KIND: gyro-accel, magnetometer, temperature or all. See docs/simulator.md.\n");
    std::exit(2);
}

bool ParseVec(const std::string& text, sim::Vec3* v) {
    return std::sscanf(text.c_str(), "%lf,%lf,%lf", &v->x, &v->y, &v->z) == 3;
}

// A finite number and nothing else.
bool ParseFinite(const std::string& text, double* v) {
    char* end = nullptr;
    *v = std::strtod(text.c_str(), &end);
    return !text.empty() && end != text.c_str() && *end == '\0' && std::isfinite(*v);
}

// Three numbers separated by commas, each within low..high.
bool ParseTriple(const std::string& text, double low, double high, sim::Vec3* v) {
    std::vector<double> parts;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        double d = 0;
        if (!ParseFinite(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from), &d) ||
            d < low || d > high)
            return false;
        parts.push_back(d);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (parts.size() != 3) return false;
    *v = {parts[0], parts[1], parts[2]};
    return true;
}

Options Parse(int argc, char** argv) {
    Options o;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) Usage((std::string(argv[i]) + " needs a value").c_str());
        return argv[++i];
    };
    auto number = [&](int& i) {
        const std::string v = value(i);
        char* end = nullptr;
        const double d = std::strtod(v.c_str(), &end);
        if (end == v.c_str() || *end != '\0' || !std::isfinite(d)) Usage(("not a number: " + v).c_str());
        return d;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--link") o.link = value(i);
        else if (a == "--link1") o.link1 = value(i);
        else if (a == "--baud") o.baud = static_cast<uint32_t>(number(i)), o.baudGiven = true;
        else if (a == "--baud1") o.baud1 = static_cast<uint32_t>(number(i)), o.baud1Given = true;
        else if (a == "--state") o.state = value(i);
        else if (a == "--no-pace") o.pace = false;
        else if (a == "--remove-link-folder") o.removeLinkFolder = true;
        else if (a == "--product") o.product = static_cast<int32_t>(number(i));
        else if (a == "--id") o.id = static_cast<int>(number(i));
        else if (a == "--tone") {
            const std::string v = value(i);
            if (std::sscanf(v.c_str(), "%lf:%lf", &o.toneHz, &o.toneAmplitude) < 1 || o.toneHz <= 0) Usage("bad --tone");
        } else if (a == "--status-bits") o.statusBits = static_cast<uint32_t>(std::strtoul(value(i).c_str(), nullptr, 16));
        else if (a == "--hold-euler") o.holdEuler = value(i);
        else if (a == "--hold-position") o.holdPosition = value(i);
        else if (a == "--control") o.control = value(i);
        else if (a == "--log") o.log = value(i);
        else if (a == "--drop-replies") o.drop = number(i);
        else if (a == "--corrupt-checksum") o.corrupt = number(i);
        else if (a == "--noise-before-stx") o.noise = number(i);
        else if (a == "--split-replies") o.split = static_cast<int>(number(i));
        else if (a == "--delay-replies") o.delayMs = static_cast<int>(number(i));
        else if (a == "--unplug-after") o.unplugAfter = number(i);
        else if (a == "--unplug-for") o.unplugFor = number(i);
        else if (a == "--sync-log") o.syncLog = value(i);
        else if (a == "--firmware") o.modelLines.push_back("firmware " + value(i));
        else if (a == "--hardware") o.modelLines.push_back("hardware " + value(i));
        else if (a == "--vibration") {
            std::string v = value(i);
            std::replace(v.begin(), v.end(), ':', ' ');
            o.modelLines.push_back("vibration " + v);
        } else if (a == "--fail-calibration") o.modelLines.push_back("fail-calibration " + value(i));
        else if (a == "--hang-calibration") o.modelLines.push_back("hang-calibration " + value(i));
        else if (a == "--calibration-time") {
            std::string v = value(i);
            std::replace(v.begin(), v.end(), '=', ' ');
            o.modelLines.push_back("calibration-time " + v);
        } else if (a == "--probe-wave") o.modelLines.push_back("probe-wave " + value(i));
        else if (a == "--probe-ignore") o.modelLines.push_back("probe-ignore " + value(i));
        else if (a == "--probe-never-ready") o.modelLines.push_back("probe-never-ready on");
        else if (a == "--drop-request") o.modelLines.push_back("drop-request " + value(i));
        else if (a == "--force") {
            std::string v = value(i);
            std::replace(v.begin(), v.end(), '=', ' ');
            std::replace(v.begin(), v.end(), ',', ' ');
            o.modelLines.push_back("force " + v);
        } else if (a == "--mag-field") {
            const std::string v = value(i);
            double d = 0;
            if (!ParseFinite(v, &d) || d <= 0 || d > 1000)
                Usage(("--mag-field wants the field strength in uT, above 0 and at most 1000, not \"" + v + "\"").c_str());
            o.magField = d;
        } else if (a == "--mag-offset") {
            const std::string v = value(i);
            sim::Vec3 t;
            if (!ParseTriple(v, -1000, 1000, &t))
                Usage(("--mag-offset wants three offsets X,Y,Z in uT, each -1000..1000, not \"" + v + "\"").c_str());
            o.magOffset = t;
        } else if (a == "--mag-scale") {
            const std::string v = value(i);
            sim::Vec3 t;
            if (!ParseTriple(v, 0.01, 10, &t))
                Usage(("--mag-scale wants three scales SX,SY,SZ, each 0.01..10, not \"" + v + "\"").c_str());
            o.magScale = t;
        } else if (a == "--mag-interference") {
            const std::string v = value(i);
            double d = 0;
            if (!ParseFinite(v, &d) || d < 0 || d > 1)
                Usage(("--mag-interference wants the fraction of disturbed readings, 0..1, not \"" + v + "\"").c_str());
            o.magInterference = d;
        } else if (a == "--mag-turns") {
            const std::string v = value(i);
            o.magTurns = sim::MagTurnsByName(v);
            if (!o.magTurns) Usage(("--mag-turns wants full, half or flat, not \"" + v + "\"").c_str());
        } else if (a == "--replay") o.replay = value(i);
        else if (a == "--speed") {
            const std::string v = value(i);
            if (!ParseFinite(v, &o.speed) || o.speed <= 0 || o.speed > 1000)
                Usage(("--speed wants a factor above 0 and at most 1000, not \"" + v + "\"").c_str());
            o.speedGiven = true;
        } else if (a == "--loop") o.loop = true;
        else if (a == "--help" || a == "-h") Usage("help");
        else Usage(("unknown option " + a).c_str());
    }
    if (o.link.empty()) Usage("--link is required");
    if (o.replay.empty() && (o.speedGiven || o.loop)) Usage("--speed and --loop go with --replay FILE");
    return o;
}

const char* TypeName(uint8_t type) {
    switch (type) {
    case OBJ_INT8: return "int8";
    case OBJ_INT16: return "int16";
    case OBJ_INT32: return "int32";
    case OBJ_FLOAT32: return "float32";
    default: return "type?";
    }
}

// One port of the module with its receive state.
struct Port {
    std::unique_ptr<sim::PtyLink> link;
    int number = 1;           // 0 = RS-232/UART1, 1 = USB/UART2
    std::vector<uint8_t> rx;  // bytes not yet taken
    std::string text;         // the current text line
    double reopenAt = -1;     // unplugged until then
};

class Simulator {
public:
    explicit Simulator(Options o) : m_o(std::move(o)), m_module(Now()), m_random(20260611) {
        m_module.productId = m_o.product;
        m_module.deviceId = static_cast<uint8_t>(m_o.id);
        m_module.raisedStatusBits = m_o.statusBits;
        m_module.toneHz = m_o.toneHz;
        m_module.toneAmplitude = m_o.toneAmplitude;
        if (m_o.magField) m_module.magField = *m_o.magField;
        if (m_o.magOffset) m_module.magOffset = *m_o.magOffset;
        if (m_o.magScale) m_module.magScale = *m_o.magScale;
        if (m_o.magInterference) m_module.magInterference = *m_o.magInterference;
        if (m_o.magTurns) m_module.magTurns = *m_o.magTurns;
        sim::Vec3 v;
        if (!m_o.holdEuler.empty()) {
            if (!ParseVec(m_o.holdEuler, &v)) Usage("bad --hold-euler");
            m_module.holdEuler = v;
        }
        if (!m_o.holdPosition.empty()) {
            if (!ParseVec(m_o.holdPosition, &v)) Usage("bad --hold-position");
            m_module.holdPosition = v;
        }
        // The flash of an earlier run, then the rates given on the command line.
        if (!m_o.state.empty()) {
            std::ifstream in(m_o.state);
            std::stringstream s;
            s << in.rdbuf();
            m_module.LoadStateText(s.str());
        }
        if (m_o.state.empty() || m_o.baudGiven) m_module.SetConfig(od::OBJ_BAUD_UART2, m_o.baud);
        if (m_o.state.empty() || m_o.baud1Given) m_module.SetConfig(od::OBJ_BAUD_UART1, m_o.baud1);
        m_module.LoadStateText("");  // the flash holds it; the ports run at the configured rates
        m_module.statePath = m_o.state;
        for (const std::string& line : m_o.modelLines)
            if (!Control(line)) Usage(("bad option value: " + line).c_str());
        if (!m_o.log.empty()) m_log = std::fopen(m_o.log.c_str(), "a");
        if (!m_o.syncLog.empty()) m_syncLog = std::fopen(m_o.syncLog.c_str(), "ab");
        if (!m_o.replay.empty()) {
            std::string error;
            if (!ReadSessionFile(m_o.replay, &m_session, &error)) {
                std::fprintf(stderr, "tarvik-sim: %s\n", error.c_str());
                std::exit(2);
            }
            if (m_session.cut) std::fprintf(stderr, "tarvik-sim: %s ends in a cut line; replaying up to it\n", m_o.replay.c_str());
        }
    }
    ~Simulator() {
        for (auto& p : m_ports) p.link->Close();
        if (m_controlFd >= 0) ::close(m_controlFd);
        if (m_controlKeep >= 0) ::close(m_controlKeep);
        if (!m_o.control.empty()) ::unlink(m_o.control.c_str());
        if (m_log) std::fclose(m_log);
        if (m_syncLog) std::fclose(m_syncLog);
        // The folder a starting program made for the link alone: removed once
        // the link is gone, whoever ended us. rmdir leaves a folder that still
        // holds anything else.
        if (m_o.removeLinkFolder) {
            const size_t slash = m_o.link.rfind('/');
            if (slash != std::string::npos && slash > 0) ::rmdir(m_o.link.substr(0, slash).c_str());
        }
    }

    bool Start() {
        AddPort(m_o.link, 1);
        if (!m_o.link1.empty()) AddPort(m_o.link1, 0);
        for (auto& p : m_ports) {
            if (!p.link->Open()) {
                std::fprintf(stderr, "tarvik-sim: cannot create the port behind %s: %s\n", p.link->LinkPath().c_str(),
                             std::strerror(errno));
                return false;
            }
            std::printf("port %s -> %s\n", p.link->LinkPath().c_str(), p.link->SlavePath().c_str());
        }
        if (!m_o.control.empty()) {
            ::unlink(m_o.control.c_str());
            if (::mkfifo(m_o.control.c_str(), 0600) != 0) {
                std::fprintf(stderr, "tarvik-sim: cannot make %s\n", m_o.control.c_str());
                return false;
            }
            m_controlFd = ::open(m_o.control.c_str(), O_RDONLY | O_NONBLOCK);
            // Our own writer keeps the FIFO from reporting end-of-file between writers.
            m_controlKeep = ::open(m_o.control.c_str(), O_WRONLY | O_NONBLOCK);
        }
        m_start = Now();
        m_nextSync = m_start;
        // The replay clock starts with the module.
        if (!m_o.replay.empty()) m_replay = std::make_unique<sim::SessionReplay>(m_session, m_o.speed, m_o.loop, Now);
        std::printf("ready\n");
        std::fflush(stdout);
        return true;
    }

    void Run() {
        bool unplugDone = false;
        while (!g_stop) {
            const double now = Now();
            if (!unplugDone && m_o.unplugAfter >= 0 && now - m_start >= m_o.unplugAfter) {
                unplugDone = true;
                Unplug(m_o.unplugFor);
            }
            for (auto& p : m_ports)
                if (!p.link->IsOpen() && p.reopenAt >= 0 && now >= p.reopenAt) {
                    p.reopenAt = -1;
                    p.rx.clear();
                    if (p.link->Open()) {
                        std::printf("port %s -> %s\n", p.link->LinkPath().c_str(), p.link->SlavePath().c_str());
                        std::fflush(stdout);
                    }
                }
            std::vector<pollfd> fds;
            for (auto& p : m_ports)
                if (p.link->IsOpen()) fds.push_back({p.link->Fd(), POLLIN, 0});
            if (m_controlFd >= 0) fds.push_back({m_controlFd, POLLIN, 0});
            // Wake for input, after 1 ms at the latest, or when bytes are due
            // on the wire (pacing finer than the millisecond).
            double wait = 0.001;
            for (auto& p : m_ports) {
                const uint32_t baud = m_o.pace ? static_cast<uint32_t>(m_module.ActiveBaud(p.number)) : 0;
                wait = std::min(wait, p.link->NextDue(now, baud) - now);
            }
            const timespec timeout{0, static_cast<long>(std::max(0.0, wait) * 1e9)};
            ::ppoll(fds.data(), fds.size(), &timeout, nullptr);
            m_module.Advance(Now());
            for (auto& p : m_ports) Receive(p);
            ReadControl();
            SendSync();
            Pump();
        }
    }

private:
    void AddPort(const std::string& path, int number) {
        Port p;
        p.link = std::make_unique<sim::PtyLink>(path);
        p.number = number;
        m_ports.push_back(std::move(p));
    }

    void Unplug(double seconds) {
        for (auto& p : m_ports) {
            p.link->Close();
            p.reopenAt = Now() + seconds;
        }
    }

    bool Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(m_random) < p; }

    void Receive(Port& p) {
        if (!p.link->IsOpen()) return;
        uint8_t buf[512];
        const int n = p.link->Read(buf, sizeof buf);
        if (n <= 0) return;
        // At a line speed other than the port's rate the module hears only
        // garbage: it takes nothing of it.
        if (p.link->LineSpeed() != static_cast<uint32_t>(m_module.ActiveBaud(p.number))) {
            p.rx.clear();
            p.text.clear();
            return;
        }
        p.rx.insert(p.rx.end(), buf, buf + n);
        size_t i = 0;
        while (i < p.rx.size()) {
            if (p.rx[i] != frame::STX) {
                TextByte(p, p.rx[i]);
                ++i;
                continue;
            }
            if (p.rx.size() - i < static_cast<size_t>(frame::kRequestLength)) break;  // wait for the rest
            frame::Request request;
            if (!frame::ParseRequest(p.rx.data() + i, &request)) {
                // Not a frame start after all: resynchronise on the next byte.
                ++i;
                continue;
            }
            Request(p, request);
            i += frame::kRequestLength;
        }
        p.rx.erase(p.rx.begin(), p.rx.begin() + static_cast<long>(i));
        if (p.rx.size() > 4096) p.rx.clear();
    }

    void TextByte(Port& p, uint8_t c) {
        if (c == '\n') {
            std::string line = p.text;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (m_log && !line.empty()) {
                std::fprintf(m_log, "text %s\n", line.c_str());
                std::fflush(m_log);
            }
            const std::string answer = m_module.TextLine(line, Now());
            // The answer comes when the module is through with its flash.
            if (!answer.empty())
                p.link->Queue(reinterpret_cast<const uint8_t*>(answer.data()), static_cast<int>(answer.size()),
                              m_module.SilentUntil(), false);
            p.text.clear();
        } else if (p.text.size() < 256) {
            p.text.push_back(static_cast<char>(c));
        }
    }

    void Request(Port& p, const frame::Request& r) {
        if (m_log) {
            if (r.op == frame::OP_GET_REQUEST)
                std::fprintf(m_log, "get 0x%02x %u %u %s\n", r.index, r.subIndex, r.element[0], TypeName(r.type));
            else if (r.type == OBJ_FLOAT32)
                std::fprintf(m_log, "set 0x%02x %.9g %s\n", r.index, frame::ReadElement(r.type, r.element),
                             TypeName(r.type));
            else
                std::fprintf(m_log, "set 0x%02x %d %s\n", r.index,
                             static_cast<int32_t>(frame::ReadElement(r.type, r.element)), TypeName(r.type));
            std::fflush(m_log);
        }
        std::vector<uint8_t> reply = m_module.Handle(r, Now());
        if (reply.empty() || Chance(m_o.drop)) return;
        // A replay answers a get of what it recorded with the recorded values;
        // sets and everything else stay the model's (and change no replayed value).
        uint8_t type = 0;
        std::vector<double> values;
        if (m_replay && r.op == frame::OP_GET_REQUEST && reply.size() > 9 &&
            m_replay->Answer(r.index, r.subIndex, frame::Elements(reply.size()), &type, &values))
            reply = sim::RecordedReply(reply[2], r.index, r.subIndex, type, values);
        if (Chance(m_o.corrupt)) reply[reply.size() - 2] ^= 0x5A;
        if (Chance(m_o.noise)) {
            const uint8_t junk[] = {0x55, 0xA7, 0x03, 0x40, 0x13};
            reply.insert(reply.begin(), junk, junk + sizeof junk);
        }
        // A slow module: each request takes that long, one after the other.
        const double due = std::max(Now(), m_lastReplyDue) + m_o.delayMs / 1000.0;
        m_lastReplyDue = due;
        const int piece = m_o.split > 0 ? m_o.split : static_cast<int>(reply.size());
        for (int at = 0, i = 0; at < static_cast<int>(reply.size()); at += piece, ++i)
            p.link->Queue(reply.data() + at, std::min(piece, static_cast<int>(reply.size()) - at), due + i * 0.001, false);
        Pump();
    }

    void Pump() {
        const double now = Now();
        for (auto& p : m_ports) {
            const uint32_t baud = m_o.pace ? static_cast<uint32_t>(m_module.ActiveBaud(p.number)) : 0;
            std::string sent;
            p.link->Pump(now, baud, m_syncLog ? &sent : nullptr);
            if (!sent.empty()) {
                std::fwrite(sent.data(), 1, sent.size(), m_syncLog);
                std::fflush(m_syncLog);
            }
        }
    }

    void SendSync() {
        if (m_replay) {
            SendRecordedSync();
            return;
        }
        const double now = Now();
        if (now < m_nextSync) return;
        const double period = std::max(1.0, m_module.Config(od::OBJ_SYNC_PERIOD)) / 1000.0;
        m_nextSync = std::max(m_nextSync + period, now);
        if (m_module.Config(od::OBJ_SYNC_SELECTION) == 0 || m_module.IsSilent(now)) return;
        const int target = static_cast<int>(m_module.Config(od::OBJ_SYNC_PORT));
        for (auto& p : m_ports) {
            if (p.number != target || !p.link->IsOpen()) continue;
            if (p.link->LineSpeed() != static_cast<uint32_t>(m_module.ActiveBaud(p.number))) continue;
            // A line still on the wire: the module drops this period's record.
            if (p.link->SyncPending()) continue;
            const std::string line = m_module.SyncLine(now) + "\r\n";
            p.link->Queue(reinterpret_cast<const uint8_t*>(line.data()), static_cast<int>(line.size()), now, true);
        }
    }

    // A replay's stream is the recorded text at its times, on the first link.
    void SendRecordedSync() {
        const std::string text = m_replay->DueSyncText();
        if (text.empty() || m_ports.empty() || !m_ports[0].link->IsOpen()) return;
        m_ports[0].link->Queue(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()), Now(), true);
    }

    void ReadControl() {
        if (m_controlFd < 0) return;
        char buf[512];
        const ssize_t n = ::read(m_controlFd, buf, sizeof buf);
        if (n <= 0) return;
        m_controlText.append(buf, static_cast<size_t>(n));
        size_t eol;
        while ((eol = m_controlText.find('\n')) != std::string::npos) {
            Control(m_controlText.substr(0, eol));
            m_controlText.erase(0, eol + 1);
        }
        if (m_controlText.size() > 4096) m_controlText.clear();
    }

    bool Control(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb == "unplug") {
            double s = 2;
            in >> s;
            Unplug(s);
            return true;
        }
        std::string error;
        if (sim::ApplyControlLine(m_module, line, Now(), &error)) return true;
        std::fprintf(stderr, "tarvik-sim: %s: %s\n", error.c_str(), line.c_str());
        return false;
    }

    Options m_o;
    sim::ModuleModel m_module;
    std::mt19937 m_random;
    std::vector<Port> m_ports;
    int m_controlFd = -1, m_controlKeep = -1;
    std::string m_controlText;
    FILE* m_log = nullptr;
    FILE* m_syncLog = nullptr;
    double m_start = 0, m_nextSync = 0;
    double m_lastReplyDue = 0;
    Session m_session;
    std::unique_ptr<sim::SessionReplay> m_replay;
};

}  // namespace

int main(int argc, char** argv) {
    Options options = Parse(argc, argv);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    Simulator simulator(std::move(options));
    if (!simulator.Start()) return 1;
    simulator.Run();
    return 0;
}
