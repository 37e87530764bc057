#pragma once
// The probe kind named on the command line; the kinds themselves are the
// catalogue's (device/object_dictionary.h), the file is app/probe_file.h.
#include "device/object_dictionary.h"

#include <string>

// A list position "0".."7" or a short name; null for anything else.
const od::ProbeKind* FindProbeKind(const std::string& text);
