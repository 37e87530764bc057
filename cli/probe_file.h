#pragma once
// Probe kinds and the probe plot data file, as the probe window saves it:
// one line per sample, each channel's value followed by ", ", raw kinds as
// "%8d, ", scaled kinds as "%8.3f, " of the value times the kind's scale;
// lines end in CR LF (the Windows program writes its file in text mode).
#include <cstdint>
#include <string>

struct ProbeKind {
    const char* shortName;   // acc-raw, gyro-raw, ...
    const char* title;       // the probe window's list text
    int32_t requestCode;     // written to object 0x06
    int32_t statusCode;      // bits 8..11 of the status word while served
    int32_t channels;
    int32_t samples;
    double yScale;
};

constexpr int kProbeKindCount = 8;
const ProbeKind& ProbeKindAt(int position);
// A list position "0".."7" or a short name; null for anything else.
const ProbeKind* FindProbeKind(const std::string& text);

// The file's text for a block laid out channel by channel (value of channel c
// at sample i is block[c * samples + i]).
std::string FormatProbeFile(const ProbeKind& kind, const int32_t* block);
