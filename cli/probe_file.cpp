#include "cli/probe_file.h"

const od::ProbeKind* FindProbeKind(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + od::kProbeKindCount)
        return od::ProbeKindAt(text[0] - '0');
    for (int i = 0; i < od::kProbeKindCount; ++i)
        if (text == od::ProbeKindAt(i)->shortName) return od::ProbeKindAt(i);
    return nullptr;
}
