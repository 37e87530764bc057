#include "sim/control_line.h"

#include "device/object_dictionary.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace sim {

namespace {

bool ParseNumber(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    // Integers in hex as well ("0x41" for a selection).
    if (text.find("0x") != std::string::npos || text.find("0X") != std::string::npos) {
        const long long v = std::strtoll(text.c_str(), &end, 16);
        if (*end != '\0') return false;
        *value = static_cast<double>(v);
        return true;
    }
    *value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int* value) {
    double d = 0;
    if (!ParseNumber(text, &d) || d != std::trunc(d) || std::fabs(d) > 2147483647.0) return false;
    *value = static_cast<int>(d);
    return true;
}

// KIND, "all" or "none" into the two fields of one fault.
bool ParseKind(const std::string& word, Calibration* kind, bool* every) {
    if (word == "all") return *every = true, *kind = Calibration::None, true;
    if (word == "none") return *every = false, *kind = Calibration::None, true;
    const Calibration k = CalibrationByName(word);
    if (k == Calibration::None) return false;
    *every = false;
    *kind = k;
    return true;
}

// OBJ[:N] into an index and a number (sub-index or element), -1 when absent.
bool ParseTarget(const std::string& text, uint16_t* index, int* number) {
    const size_t colon = text.find(':');
    *number = -1;
    if (colon != std::string::npos && !ParseInt(text.substr(colon + 1), number)) return false;
    return ParseObjectIndex(text.substr(0, colon), index);
}

}  // namespace

bool ParseObjectIndex(const std::string& text, uint16_t* index) {
    if (const od::ObjectInfo* info = od::FindByMnemonic(text)) {
        *index = info->index;
        return true;
    }
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || v > 0xFFFF) return false;
    *index = static_cast<uint16_t>(v);
    return true;
}

bool ApplyControlLine(ModuleModel& m, const std::string& line, double now, std::string* error) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (w.empty()) return fail("empty line");
    const std::string& verb = w[0];
    std::vector<double> n;
    for (size_t i = 1; i < w.size(); ++i) {
        double d = 0;
        n.push_back(ParseNumber(w[i], &d) ? d : NAN);
    }
    auto numbers = [&](size_t least, size_t most) {
        if (n.size() < least || n.size() > most) return false;
        for (double d : n)
            if (std::isnan(d)) return false;
        return true;
    };

    if (verb == "status" && w.size() == 2) {
        char* end = nullptr;
        const unsigned long bits = std::strtoul(w[1].c_str(), &end, 16);
        if (*end != '\0') return fail("status takes hex bits");
        m.raisedStatusBits = static_cast<uint32_t>(bits);
    } else if (verb == "euler" && numbers(3, 3)) {
        m.holdEuler = Vec3{n[0], n[1], n[2]};
    } else if (verb == "position" && numbers(3, 3)) {
        m.holdPosition = Vec3{n[0], n[1], n[2]};
    } else if (verb == "release" && w.size() == 1) {
        m.Release();
    } else if ((verb == "product" || verb == "firmware" || verb == "hardware") && numbers(1, 1)) {
        int v = 0;
        if (!ParseInt(w[1], &v)) return fail("takes an integer");
        (verb == "product" ? m.productId : verb == "firmware" ? m.firmwareVersion : m.hardwareVersion) = v;
    } else if (verb == "tone" && numbers(1, 2) && n[0] > 0) {
        m.toneHz = n[0];
        if (n.size() > 1) m.toneAmplitude = n[1];
    } else if (verb == "vibration" && numbers(1, 3) && n[0] >= 0) {
        m.vibrationHz = n[0];
        if (n.size() > 1) m.vibrationRatio = n[1];
        if (n.size() > 2) m.vibrationAmplitude = n[2];
    } else if (verb == "fail-calibration" && w.size() == 2) {
        if (!ParseKind(w[1], &m.failCalibration, &m.failEveryCalibration)) return fail("unknown calibration");
    } else if (verb == "hang-calibration" && w.size() == 2) {
        if (!ParseKind(w[1], &m.hangCalibration, &m.hangEveryCalibration)) return fail("unknown calibration");
    } else if (verb == "calibration-time" && w.size() == 3) {
        const Calibration k = CalibrationByName(w[1]);
        double s = 0;
        if (k == Calibration::None || !ParseNumber(w[2], &s) || s < 0) return fail("calibration-time KIND SECONDS");
        m.calibrationSeconds[k] = s;
    } else if (verb == "end-calibration" && w.size() == 1) {
        m.EndCalibration(now);
    } else if (verb == "probe-wave" && w.size() == 2) {
        const auto wave = ProbeWaveByName(w[1]);
        if (!wave) return fail("probe-wave sine|ramp|square|off");
        m.probeWave = *wave;
    } else if (verb == "probe-ignore" && w.size() == 2) {
        int count = 0;
        if (!ParseInt(w[1], &count) || count < 0) return fail("probe-ignore N");
        m.probeIgnore = count;
    } else if (verb == "probe-never-ready" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        m.probeNeverReady = w[1] == "on";
    } else if (verb == "drop-request" && w.size() == 2) {
        // OBJ[:SUB][/N]
        std::string target = w[1];
        int count = 1;
        const size_t slash = target.find('/');
        if (slash != std::string::npos) {
            if (!ParseInt(target.substr(slash + 1), &count) || count < 1) return fail("drop-request OBJ[:SUB][/N]");
            target.resize(slash);
        }
        uint16_t index = 0;
        int sub = -1;
        if (!ParseTarget(target, &index, &sub) || sub > 255) return fail("drop-request OBJ[:SUB][/N]");
        m.IgnoreRequests(index, sub, count);
    } else if (verb == "force" && w.size() >= 3) {
        uint16_t index = 0;
        int first = 0;
        if (!ParseTarget(w[1], &index, &first)) return fail("force OBJ[:ELEMENT] VALUE...");
        if (first < 0) first = 0;
        std::vector<double> values(n.begin() + 1, n.end());
        for (double d : values)
            if (std::isnan(d)) return fail("force takes numbers");
        m.Force(index, first, values);
    } else {
        return fail("unknown control line");
    }
    return true;
}

}  // namespace sim
