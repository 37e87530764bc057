#include "app/probe_file.h"

#include "app/c_locale.h"

std::string FormatProbeFile(const od::ProbeKind& kind, const int32_t* block) {
    std::string text;
    for (int i = 0; i < kind.samples; ++i) {
        for (int c = 0; c < kind.channels; ++c) {
            const int32_t v = block[c * kind.samples + i];
            if (kind.scale == 1.0) text += FormatC("%8d, ", v);
            else text += FormatC("%8.3f, ", v * kind.scale);
        }
        text += "\r\n";
    }
    return text;
}
