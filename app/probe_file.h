#pragma once
// The probe plot data file, as the probe window and tarvik-cli save it: one
// line per sample, each channel's value followed by ", ", raw kinds as
// "%8d, ", scaled kinds as "%8.3f, " of the value times the kind's scale;
// lines end in CR LF (the files keep the line ends of the Windows tool).
#include "device/object_dictionary.h"

#include <cstdint>
#include <string>

// The file's text for a block laid out channel by channel (value of channel c
// at sample i is block[c * samples + i]).
std::string FormatProbeFile(const od::ProbeKind& kind, const int32_t* block);
