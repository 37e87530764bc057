#include "cli/calibrate.h"

#include "device/connection.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

namespace clicalib {

namespace {

constexpr int kPollMs = 100;          // as the magnetometer view samples
constexpr double kLimitS = 120;       // the module announces about 30 s
constexpr double kNotStartedS = 2;    // never seen running within this: over already
constexpr int kMaxFailedReads = 100;  // ten seconds without a status word

int Fail(const std::string& message) {
    std::fprintf(stderr, "tarvik-cli: %s\n", message.c_str());
    return 1;
}

void SleepUntil(std::chrono::steady_clock::time_point until, const std::function<bool()>& stopped) {
    while (!stopped() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            until - std::chrono::steady_clock::now(), std::chrono::milliseconds(10)));
}

void Sleep(int ms, const std::function<bool()>& stopped) {
    SleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms), stopped);
}

std::string Format(const char* fmt, double a, double b, double c) {
    char text[128];
    std::snprintf(text, sizeof text, fmt, a, b, c);
    return text;
}

// The start command; a call within the protocol's back-off after a fault
// fails at once, so a failed one is tried again after it.
bool SendStart(const std::function<bool()>& stopped) {
    for (int attempt = 0; attempt < 3 && !stopped(); ++attempt) {
        int32_t command = od::CMD_CALIBRATE_MAGNETOMETER;
        if (g_pObjectAccess && g_pObjectAccess->SetObjectXXX(OBJ_INT32, od::OBJ_COMMAND, &command)) return true;
        Sleep(1050, stopped);
    }
    return false;
}

// The module's magnetometer offset from its bias table, when it can be read.
std::optional<calib::Point3> ModuleOffset() {
    float bias[9] = {};
    if (!g_pObjectAccess || !g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_CALIB_BIAS, 0, bias, 9)) return std::nullopt;
    return calib::Point3{bias[6], bias[7], bias[8]};
}

}  // namespace

std::string SamplesCsv(const std::vector<calib::Point3>& samples) {
    std::string out = "x,y,z\n";
    for (const auto& p : samples) out += Format("%.4f,%.4f,%.4f\n", p.x, p.y, p.z);
    return out;
}

int CalibrateMagnetometer(const std::string& samplesPath, bool json, const std::function<bool()>& stopped) {
    if (!SendStart(stopped))
        return Fail(std::string("calibration command 4 failed: ") + FailureText(g_pObjectAccess));
    std::vector<calib::Point3> samples;
    const auto start = std::chrono::steady_clock::now();
    auto lastProgress = start;
    bool seenRunning = false, over = false;
    int failedReads = 0;
    int32_t status = 0;
    auto next = start;
    while (!stopped() && !over) {
        // One reading every 100 ms, however long the exchanges take.
        next += std::chrono::milliseconds(kPollMs);
        SleepUntil(next, stopped);
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(now - start).count();
        const bool ok = g_pObjectAccess && g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_STATUS, 0, &status, 1);
        if (!ok) {
            if (++failedReads > kMaxFailedReads) return Fail("no status word from the module during calibration");
        } else {
            failedReads = 0;
            if (uint32_t(status) & od::STATUS_CALIB_RUNNING_2) {
                seenRunning = true;
                float f[3] = {};
                if (g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, od::OBJ_MAGNETIC_FIELD, 0, f, 3))
                    samples.push_back({f[0], f[1], f[2]});
            } else if (seenRunning || elapsed > kNotStartedS) {
                over = true;
            }
        }
        if (now - lastProgress >= std::chrono::seconds(1)) {
            lastProgress = now;
            std::fprintf(stderr, "calibrating magnetometer: %d s, status 0x%08x, %zu samples\n", int(elapsed),
                         unsigned(status), samples.size());
        }
        if (!over && elapsed > kLimitS) break;
    }
    // What the readings show is worth most when the module refused them.
    calib::MagCoachModule module;
    module.ended = true;
    module.reportedFailure = over && (uint32_t(status) & od::STATUS_CALIB_FAILED);
    if (over) module.offset = ModuleOffset();
    const calib::MagCoachReport report = calib::CoachMagnetometer(samples, module);
    if (json) {
        std::printf("%s\n", calib::CoachJson(report).c_str());
    } else {
        for (const std::string& line : calib::CoachLines(report, calib::MagCoachText::Ascii).All())
            std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    if (!samplesPath.empty()) {
        const std::string csv = SamplesCsv(samples);
        FILE* f = std::fopen(samplesPath.c_str(), "wb");
        const bool written = f && std::fwrite(csv.data(), 1, csv.size(), f) == csv.size();
        if (!f || std::fclose(f) != 0 || !written) return Fail("cannot write " + samplesPath);
    }
    if (stopped()) return Fail("calibration interrupted");
    if (!over) return Fail("calibration did not end within 120 s");
    const uint32_t s = uint32_t(status);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", s);
    if (s & od::STATUS_CALIB_FAILED) return Fail(std::string("calibration failed (status ") + hex + ")");
    if (!(s & od::STATUS_CALIB_SUCCESS)) return Fail(std::string("calibration ended without success (status ") + hex + ")");
    std::fprintf(stderr, "calibration success (status %s)\n", hex);
    return 0;
}

}  // namespace clicalib
