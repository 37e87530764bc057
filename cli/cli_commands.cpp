#include "cli/cli_commands.h"

#include "app/app_ini.h"
#include "app/probe_file.h"
#include "cli/calibrate.h"
#include "cli/doctor.h"
#include "app/config_compare.h"
#include "app/config_file.h"
#include "app/object_values.h"
#include "app/session_file.h"
#include "app/session_recorder.h"
#include "app/udp_feed.h"
#include "app/version.h"
#include "cli/probe_file.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "device/tick.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::atomic<bool>& StopFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

bool Stopped() { return StopFlag().load(); }

// Sleeps in short steps so that an interrupt ends the wait soon.
void SleepMs(int64_t ms) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Stopped()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= until) break;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(until - now, std::chrono::milliseconds(20)));
    }
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "tarvik-cli: %s\n", message.c_str());
    return 1;
}

std::string Hex(uint32_t v, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, v);
    return text;
}

// Why the last device call failed.
std::string Why() { return FailureText(g_pObjectAccess); }

bool GetInt(uint16_t index, int32_t* value) {
    return g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, index, 0, value, 1);
}

bool GetFloat(uint16_t index, float* value) {
    return g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, index, 0, value, 1);
}

bool SetInt(uint16_t index, int32_t value) {
    return g_pObjectAccess && g_pObjectAccess->SetObjectXXX(OBJ_INT32, index, &value);
}

// A device call within the 1000 ms back-off fails at once; the commands that
// must get through (probe, calibrate, restore) retry across it.
template <typename Call>
bool Retry(Call call, int attempts = 3) {
    for (int i = 0; i < attempts; ++i) {
        if (call()) return true;
        if (Stopped()) return false;
        if (g_pObjectAccess && (g_pObjectAccess->FaultTime() != 0 || g_pObjectAccess->NoReplyTime() != 0))
            SleepMs(1050);
    }
    return false;
}

// The same for the configuration reads and writes of tarvik_app.
RetryAfterFailure CliRetry() {
    return [](int failures) {
        if (failures >= 3 || Stopped()) return false;
        if (g_pObjectAccess && (g_pObjectAccess->FaultTime() != 0 || g_pObjectAccess->NoReplyTime() != 0))
            SleepMs(1050);
        return true;
    };
}

// The status word in words: the main window's status-line texts (with "&"
// for the "&&" a static control needs), after a note of a running calibration.
std::string StatusWords(int32_t status) {
    const uint32_t s = static_cast<uint32_t>(status);
    std::string words = od::StatusText(true, false, false, status);
    for (size_t p = words.find("&&"); p != std::string::npos; p = words.find("&&", p + 1)) words.erase(p, 1);
    if (s & (od::STATUS_CALIB_RUNNING_0 | od::STATUS_CALIB_RUNNING_1 | od::STATUS_CALIB_RUNNING_2))
        words = s < od::STATUS_ERROR_FIRST ? "Calibration running." : "Calibration running, " + words;
    return words;
}

int CmdInfo() {
    int32_t product = 0, firmware = 0, hardware = 0, status = 0;
    float voltage = 0, temperature = 0;
    if (!GetInt(od::OBJ_PRODUCT_ID, &product)) return Fail("get 0x02 (product) failed: " + Why());
    if (!GetInt(od::OBJ_FIRMWARE_VERSION, &firmware)) return Fail("get 0x03 (firmware) failed: " + Why());
    if (!GetInt(od::OBJ_HARDWARE_VERSION, &hardware)) return Fail("get 0x04 (hardware) failed: " + Why());
    if (!GetFloat(od::OBJ_VOLTAGE, &voltage)) return Fail("get 0x30 (voltage) failed: " + Why());
    if (!GetFloat(od::OBJ_TEMPERATURE, &temperature)) return Fail("get 0x32 (temperature) failed: " + Why());
    if (!GetInt(od::OBJ_STATUS, &status)) return Fail("get 0x05 (status) failed: " + Why());
    std::printf("product: %d %s\n", product, od::ProductText(product));
    std::printf("firmware: %.2f\n", firmware / 100.0);
    std::printf("hardware: %.2f\n", hardware / 100.0);
    std::printf("voltage: %.9g V\n", static_cast<double>(voltage));
    std::printf("temperature: %.9g C\n", static_cast<double>(temperature));
    std::printf("status: %s %s\n", Hex(static_cast<uint32_t>(status), 8).c_str(), StatusWords(status).c_str());
    return 0;
}

struct Target {
    ObjectRef ref;
    uint8_t type = OBJ_INT32;
    int32_t count = 1;
};

bool ResolveTarget(const CliOptions& o, Target* t, std::string* error) {
    auto ref = ResolveObject(o.args[0]);
    if (!ref) {
        *error = "unknown object " + o.args[0];
        return false;
    }
    t->ref = *ref;
    t->type = o.type.empty() ? ref->type : static_cast<uint8_t>(TypeCode(o.type));
    t->count = o.countGiven && o.command != "watch" ? o.count : ref->count;
    if (t->count < 1) t->count = 1;
    // Larger catalogue counts (the 100-element spectrum) are read in runs.
    if (t->count > 256) t->count = 256;
    return true;
}

// Reads count elements from sub on, in runs of at most 50 (one reply carries
// at most 61). Fails when any run fails.
bool GetElements(const Target& t, int32_t sub, uint32_t* slots) {
    for (int32_t done = 0; done < t.count;) {
        int32_t run = std::min<int32_t>(50, t.count - done);
        if (sub + done > 255) return false;
        if (!g_pObjectAccess->GetObjectXXX(t.type, t.ref.index, static_cast<uint8_t>(sub + done), slots + done, run))
            return false;
        done += run;
    }
    return true;
}

std::string FormatSlots(uint8_t type, const uint32_t* slots, int32_t count) {
    std::string line;
    for (int32_t i = 0; i < count; ++i) {
        if (i) line += ' ';
        line += FormatSlot(type, slots[i]);
    }
    return line;
}

int CmdGet(const Target& t, int32_t sub) {
    uint32_t slots[256] = {};
    if (!GetElements(t, sub, slots))
        return Fail("get " + Hex(t.ref.index) + " failed: " + Why());
    std::printf("%s\n", FormatSlots(t.type, slots, t.count).c_str());
    return 0;
}

int CmdSet(const Target& t, uint32_t variable) {
    if (!g_pObjectAccess->SetObjectXXX(t.type, t.ref.index, &variable))
        return Fail("set " + Hex(t.ref.index) + " failed: " + Why());
    std::printf("%s\n", FormatSlot(t.type, WidenVariable(t.type, variable)).c_str());
    return 0;
}

int CmdWatch(const Target& t, const CliOptions& o) {
    // For watch, --count is the number of polls; without it, until interrupted.
    // Any failed poll makes the exit status 1, so that a script sees it.
    int64_t done = 0, failed = 0;
    for (int32_t polls = 0; !Stopped() && (!o.countGiven || polls < o.count); ++polls) {
        auto start = std::chrono::steady_clock::now();
        uint32_t slots[256] = {};
        ++done;
        if (GetElements(t, o.sub, slots)) {
            std::printf("%s\n", FormatSlots(t.type, slots, t.count).c_str());
        } else {
            std::printf("error: %s\n", Why().c_str());
            ++failed;
        }
        std::fflush(stdout);
        if (o.countGiven && polls + 1 >= o.count) break;
        // The interval runs from the start of one poll to the start of the next.
        auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        SleepMs(std::max<int64_t>(0, o.intervalMs - spent.count()));
    }
    if (failed > 0) {
        std::fflush(stdout);
        return Fail(std::to_string(failed) + " of " + std::to_string(done) + " polls failed");
    }
    return 0;
}

int CmdDump(const CliOptions& o) {
    const ConfigReading reading = ReadConfiguration(CliRetry());
    if (!reading.ok) return Fail("get " + Hex(reading.failed->index) + " failed: " + Why());
    std::string text = o.format == "json" ? WriteDumpJson(reading.entries) : WriteDumpIni(reading.entries);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

// The objects of a checked file that restore writes: all, or those --only
// names. A name that is unknown or not in the file is a usage error.
bool SelectWrites(const CliOptions& o, const std::vector<ConfigEntry>& entries, std::vector<ConfigWrite>* writes,
                  std::string* error) {
    for (const std::string& name : o.only) {
        const od::ObjectInfo* info = od::FindByMnemonic(name);
        if (info == nullptr) {
            *error = "--only: unknown object " + name;
            return false;
        }
        if (std::none_of(entries.begin(), entries.end(), [&](const ConfigEntry& e) { return e.info == info; })) {
            *error = "--only: " + name + " is not in " + o.args[0];
            return false;
        }
    }
    for (const ConfigEntry& e : entries)
        if (o.only.empty() || std::find(o.only.begin(), o.only.end(), e.info->mnemonic) != o.only.end())
            writes->push_back({e.info, e.slot});
    return true;
}

int CmdRestore(const std::vector<ConfigWrite>& writes) {
    std::string error;
    if (!WriteConfiguration(writes, &error, CliRetry())) return Fail(error);
    SleepMs(500);
    std::vector<ReadBack> back;
    if (!ReadBackConfiguration(writes, &back, &error, CliRetry())) return Fail(error);
    int differ = 0;
    for (const ReadBack& r : back) {
        if (!r.keptDiffers) continue;
        std::printf("differs: %s %s wrote %s read %s\n", r.write.info->mnemonic, Hex(r.write.info->index).c_str(),
                    r.wrote.c_str(), r.kept.c_str());
        ++differ;
    }
    std::printf("restored %zu objects, %d differ\n", writes.size(), differ);
    if (differ) return Fail(std::to_string(differ) + " object(s) differ after restore");
    return 0;
}

// diff: one line per object whose file value differs from the module's, then
// the counts. The file's values as they stand (restore writes them so).
int CmdDiff(const std::vector<ConfigEntry>& entries) {
    const ConfigReading reading = ReadConfiguration(CliRetry());
    if (!reading.ok) return Fail("get " + Hex(reading.failed->index) + " failed: " + Why());
    int differ = 0;
    const std::vector<CompareRow> rows = CompareConfiguration(entries, reading.entries);
    for (const CompareRow& row : rows) {
        if (SameValue(row.fileValue, row.moduleValue)) continue;
        std::printf("%s %s module %s file %s\n", row.mnemonic.c_str(), Hex(row.index).c_str(), row.moduleValue.c_str(),
                    row.fileValue.c_str());
        ++differ;
    }
    std::printf("%zu objects, %d differ\n", rows.size(), differ);
    return differ ? 3 : 0;
}

// export: a session file as CSV; no module.
int CmdExport(const CliOptions& o) {
    Session session;
    std::string error;
    if (!ReadSessionFile(o.args[0], &session, &error)) {
        std::fprintf(stderr, "tarvik-cli: %s\n", error.c_str());
        return 2;
    }
    if (session.cut) std::fprintf(stderr, "tarvik-cli: %s ends in a cut line; read up to it\n", o.args[0].c_str());
    const std::string text = SessionCsv(session);
    FILE* f = std::fopen(o.csv.c_str(), "wb");
    if (!f) return Fail("cannot create " + o.csv);
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) return Fail("cannot write " + o.csv);
    return 0;
}

// syncObserver (may be null) is told of the bytes as they arrive.
int CmdStream(const CliOptions& o, IExchangeObserver* syncObserver) {
    FILE* out = stdout;
    if (!o.out.empty()) {
        out = std::fopen(o.out.c_str(), "wb");
        if (!out) return Fail("cannot create " + o.out);
    }
    CSerialCOM* port = g_pSerialCom;
    auto start = std::chrono::steady_clock::now();
    int result = 0;
    char buffer[256];
    while (!Stopped()) {
        if (o.seconds > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= o.seconds)
            break;
        int32_t waiting = port->WaitForInput(50);
        if (waiting < 0) {
            result = Fail("serial port error while streaming");
            break;
        }
        if (waiting == 0) continue;
        int32_t n = port->Read(buffer, std::min<int32_t>(waiting, sizeof buffer));
        if (n < 0) {
            result = Fail("serial port error while streaming");
            break;
        }
        if (syncObserver) syncObserver->OnSyncText(buffer, n);
        std::fwrite(buffer, 1, static_cast<size_t>(n), out);
        std::fflush(out);
    }
    if (out != stdout && std::fclose(out) != 0 && result == 0) result = Fail("cannot write " + o.out);
    return result;
}

int CmdProbe(const CliOptions& o) {
    const od::ProbeKind* kind = FindProbeKind(o.args[0]);
    // The delay is limited to 1..100 by the option parser.
    bool accepted = false;
    int32_t status = 0;
    for (int attempt = 0; attempt < 3 && !accepted && !Stopped(); ++attempt) {
        SetInt(od::OBJ_PROBE_DELAY, o.delay);
        SetInt(od::OBJ_COMMAND, kind->command);
        if (GetInt(od::OBJ_STATUS, &status) &&
            (static_cast<uint32_t>(status) & od::STATUS_PROBE_KIND_MASK) == static_cast<uint32_t>(kind->statusCode))
            accepted = true;
        else if (g_pObjectAccess->FaultTime() != 0 || g_pObjectAccess->NoReplyTime() != 0)
            SleepMs(1050);
    }
    if (!accepted) return Fail(std::string("module did not accept probe request ") + kind->shortName);
    // Wait for the block, polling every 100 ms for at most 300 polls (30 s).
    bool ready = false;
    for (int poll = 0; poll <= 300 && !Stopped(); ++poll) {
        if (GetInt(od::OBJ_STATUS, &status) && (static_cast<uint32_t>(status) & od::STATUS_PROBE_READY)) {
            ready = true;
            break;
        }
        SleepMs(100);
    }
    if (!ready) {
        SetInt(od::OBJ_COMMAND, od::CMD_PROBE_END);
        return Fail("probe block not ready within 30 s");
    }
    const int total = kind->Total();
    std::vector<int32_t> block(static_cast<size_t>(total), 0);
    for (int n = 0; n < total;) {
        const od::ProbeRun run = od::ProbeRunAt(n, total);
        // A chunk that cannot be read is an error here: a file with holes of
        // zeros would look like a valid block.
        if (!Retry([&] {
                return g_pObjectAccess->GetObjectXXX(OBJ_INT32, run.object, run.subIndex, &block[n], run.count);
            })) {
            SetInt(od::OBJ_COMMAND, od::CMD_PROBE_END);
            return Fail("probe buffer read at element " + std::to_string(n) + " failed");
        }
        n += run.count;
    }
    Retry([&] { return SetInt(od::OBJ_COMMAND, od::CMD_PROBE_END); });
    std::string text = FormatProbeFile(*kind, block.data());
    FILE* f = std::fopen(o.out.c_str(), "wb");
    if (!f) return Fail("cannot create " + o.out);
    bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) return Fail("cannot write " + o.out);
    std::printf("%s: %d x %d values written to %s\n", kind->shortName, kind->channels, kind->samples, o.out.c_str());
    return 0;
}

int CmdCalibrate(const CliOptions& o) {
    const std::string& which = o.args[0];
    int32_t command = od::CMD_CALIBRATE_GYRO_ACCEL;
    int limitS = 60;   // about 4 s in the module
    if (which == "magnetometer") command = od::CMD_CALIBRATE_MAGNETOMETER, limitS = 120;   // about 30 s
    if (which == "temperature") command = od::CMD_CALIBRATE_TEMPERATURE, limitS = 3600;
    const uint32_t running = which == "temperature"
                                 ? od::STATUS_CALIB_RUNNING_0
                                 : (od::STATUS_CALIB_RUNNING_0 | od::STATUS_CALIB_RUNNING_1 | od::STATUS_CALIB_RUNNING_2);
    if (!Retry([&] { return SetInt(od::OBJ_COMMAND, command); }))
        return Fail("calibration command " + std::to_string(command) + " failed: " + Why());
    auto start = std::chrono::steady_clock::now();
    auto lastProgress = start;
    bool seenRunning = false;
    int failedReads = 0;
    while (!Stopped()) {
        SleepMs(100);
        auto now = std::chrono::steady_clock::now();
        double elapsed = std::chrono::duration<double>(now - start).count();
        int32_t status = 0;
        bool ok = GetInt(od::OBJ_STATUS, &status);
        if (!ok) {
            // Ten seconds without a status word: the module is gone.
            if (++failedReads > 100) return Fail("no status word from the module during calibration");
        } else {
            failedReads = 0;
            uint32_t s = static_cast<uint32_t>(status);
            if (s & running) seenRunning = true;
            // The outcome counts once the calibration was seen running, or
            // when it never showed up within 2 s (finished before the first look).
            if (!(s & running) && (seenRunning || elapsed > 2.0)) {
                if (s & od::STATUS_CALIB_FAILED) return Fail("calibration failed (status " + Hex(s, 8) + ")");
                if (s & od::STATUS_CALIB_SUCCESS) {
                    std::fprintf(stderr, "calibration success (status %s)\n", Hex(s, 8).c_str());
                    return 0;
                }
                return Fail("calibration ended without success (status " + Hex(s, 8) + ")");
            }
        }
        if (now - lastProgress >= std::chrono::seconds(1)) {
            lastProgress = now;
            std::string line = "calibrating " + which + ": " + std::to_string(static_cast<int>(elapsed)) + " s, status " +
                               (ok ? Hex(static_cast<uint32_t>(status), 8) : std::string("unread"));
            float t = 0;
            if (which == "temperature" && GetFloat(od::OBJ_TEMPERATURE, &t))
                line += ", temperature " + std::to_string(static_cast<int>(t));
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        if (elapsed > limitS) return Fail("calibration did not end within " + std::to_string(limitS) + " s");
    }
    return Fail("calibration interrupted");
}

struct ConnectionSettings {
    std::string port = "/dev/ttyUSB0";
    int32_t baud = 0;
};

// Port and rate from TARVIK_UI.ini in the current directory when there is one.
// The file is only read: the record never saves.
ConnectionSettings StoredSettings() {
    ConnectionSettings s;
    if (access("TARVIK_UI.ini", R_OK) != 0) return s;
    CAppIni ini(CAppIni::DefaultPath(), true);
    ini.saveOnExit = false;
    if (ini.comPort[0] != '\0') s.port = ini.comPort;
    s.baud = ini.comBaudrate < 1 ? 0 : ini.comBaudrate;
    return s;
}

}  // namespace

void RequestCliStop() { StopFlag().store(true); }

int RunCliCommand(const CliOptions& o) {
    if (o.command == "ports") return RunPorts(o.json, stdout);
    if (o.command == "doctor") {
        DoctorRequest request;
        request.port = o.portGiven ? o.port : "";
        request.baud = o.baudGiven ? o.baud : 0;
        request.timeoutMs = o.timeoutMs;
        request.deviceId = o.deviceId;
        return o.json ? RunDoctorJson(request, stdout) : RunDoctor(request, stdout);
    }

    // Everything that can be checked without the module comes first, so that
    // a usage error never costs a connect.
    Target target;
    uint32_t setValue = 0;
    if (o.command == "get" || o.command == "set" || o.command == "watch") {
        std::string error;
        if (!ResolveTarget(o, &target, &error)) {
            std::fprintf(stderr, "tarvik-cli: %s\n%s", error.c_str(), CliUsage());
            return 2;
        }
        if (o.command == "set" && !ParseValue(target.type, o.args[1], &setValue)) {
            std::fprintf(stderr, "tarvik-cli: bad %s value %s\n%s", TypeName(target.type), o.args[1].c_str(), CliUsage());
            return 2;
        }
    }
    // The file of restore and diff is checked whole before the module is
    // touched: a bad one is refused with where and what (status 1 for
    // restore, as a failed restore; 2 for diff, as its usage says).
    std::vector<ConfigEntry> fileEntries;
    std::vector<ConfigWrite> writes;
    if (o.command == "restore" || o.command == "diff") {
        std::string error;
        if (!ReadConfigFile(o.args[0], &fileEntries, &error)) {
            std::fprintf(stderr, "tarvik-cli: %s\n", error.c_str());
            return o.command == "diff" ? 2 : 1;
        }
        if (o.command == "restore" && !SelectWrites(o, fileEntries, &writes, &error)) {
            std::fprintf(stderr, "tarvik-cli: %s\n%s", error.c_str(), CliUsage());
            return 2;
        }
    }
    if (o.command == "export") return CmdExport(o);
    // The feed's host is looked up before the module is touched.
    CUdpFeed udp;
    if (!o.udp.empty()) {
        std::string error;
        if (!udp.Open(o.udp, &error)) {
            std::fprintf(stderr, "tarvik-cli: %s\n%s", error.c_str(), CliUsage());
            return 2;
        }
    }
    if (o.command == "probe" && FindProbeKind(o.args[0]) == nullptr) {
        std::fprintf(stderr, "tarvik-cli: unknown probe kind %s\n%s", o.args[0].c_str(), CliUsage());
        return 2;
    }

    ConnectionSettings s = StoredSettings();
    if (o.portGiven) s.port = o.port;
    if (o.baudGiven) s.baud = o.baud;
    uint32_t rate = 0;
    if (!ConnectDevice(s.port.c_str(), s.baud, o.timeoutMs, o.deviceId, &rate) || !g_pObjectAccess) {
        // A port that did not open says why; one that opened had no module
        // (or another product) behind it.
        if (LastConnectOpenError() != 0) return Fail(DescribeOpenError(LastConnectOpenError(), s.port));
        return Fail("no connection to the module on " + s.port + " at " +
                    (s.baud > 0 ? std::to_string(s.baud) + " bit/s" : std::string("any rate")) +
                    (LastConnectRefusal().empty() ? std::string() : ": " + LastConnectRefusal()));
    }

    // The session's header is read before the recorder listens, so its
    // reads are not part of the recording.
    CSessionRecorder recorder;
    if (!o.record.empty()) {
        const SessionHeader header =
            ReadSessionHeader(std::string("tarvik-cli ") + kUiVersion, s.port, static_cast<int32_t>(rate), o.deviceId);
        std::string error;
        if (!recorder.Start(o.record, header, &error)) {
            DisconnectDevice();
            return Fail(error);
        }
        g_pObjectAccess->AddObserver(&recorder);
    }
    if (udp.IsOpen()) g_pObjectAccess->AddObserver(&udp);

    int result = 1;
    if (o.command == "info") result = CmdInfo();
    else if (o.command == "get") result = CmdGet(target, o.sub);
    else if (o.command == "set") result = CmdSet(target, setValue);
    else if (o.command == "watch") result = CmdWatch(target, o);
    else if (o.command == "dump") result = CmdDump(o);
    else if (o.command == "restore") result = CmdRestore(writes);
    else if (o.command == "diff") result = CmdDiff(fileEntries);
    else if (o.command == "stream") result = CmdStream(o, o.record.empty() ? nullptr : &recorder);
    else if (o.command == "probe") result = CmdProbe(o);
    else if (o.command == "calibrate" && o.args[0] == "magnetometer")
        result = clicalib::CalibrateMagnetometer(o.samples, o.json, Stopped);
    else if (o.command == "calibrate") result = CmdCalibrate(o);
    if (g_pObjectAccess) {
        g_pObjectAccess->RemoveObserver(&recorder);
        g_pObjectAccess->RemoveObserver(&udp);
    }
    DisconnectDevice();
    if (!o.record.empty()) {
        recorder.Stop();
        const std::string failure = recorder.Failure();
        if (!failure.empty()) {
            Fail(failure);
            if (result == 0) result = 1;
        }
    }
    return result;
}
