#include "cli/probe_file.h"

#include <cstdio>

namespace {

const ProbeKind kKinds[kProbeKindCount] = {
    {"acc-raw", "Acceleration raw values", 1002, 0x200, 3, 256, 1.0},
    {"gyro-raw", "Gyroscope raw values", 1001, 0x100, 3, 256, 1.0},
    {"mag-raw", "Magnetometer raw values", 1003, 0x300, 3, 256, 1.0},
    {"acc", "Acceleration [g]", 1005, 0x500, 3, 256, 0.001},
    {"gyro", "Rotation rate [deg/s]", 1004, 0x400, 3, 256, 0.001},
    {"mag", "Magnetic field [uT]", 1006, 0x600, 3, 256, 0.001},
    {"fft-acc", "FFT for Acceleration [m/s^2]", 1007, 0x700, 3, 330, 0.000001},
    {"fft-gyro", "FFT for Rotation rate [deg/s]", 1008, 0x800, 3, 330, 0.000001},
};

}  // namespace

const ProbeKind& ProbeKindAt(int position) { return kKinds[position]; }

const ProbeKind* FindProbeKind(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kProbeKindCount) return &kKinds[text[0] - '0'];
    for (const ProbeKind& k : kKinds)
        if (text == k.shortName) return &k;
    return nullptr;
}

std::string FormatProbeFile(const ProbeKind& kind, const int32_t* block) {
    std::string out;
    char text[64];
    for (int32_t i = 0; i < kind.samples; ++i) {
        for (int32_t c = 0; c < kind.channels; ++c) {
            int32_t v = block[c * kind.samples + i];
            if (kind.yScale == 1.0) std::snprintf(text, sizeof text, "%8d, ", v);
            else std::snprintf(text, sizeof text, "%8.3f, ", v * kind.yScale);
            out += text;
        }
        out += "\r\n";
    }
    return out;
}
