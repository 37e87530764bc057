#pragma once
// The dump of the configurable objects, in two formats that restore both
// reads back:
//   ini:  [objects] then one line per object "mnemonic = 0xII, value"
//   json: an array of {"mnemonic": "sp", "index": "0x1f", "value": 100}
// Values are text as tarvik-cli prints them (decimal, floats "%.9g").
#include <cstdint>
#include <string>
#include <vector>

struct DumpEntry {
    std::string mnemonic;
    uint16_t index = 0;
    std::string value;
};

std::string WriteDumpIni(const std::vector<DumpEntry>& entries);
std::string WriteDumpJson(const std::vector<DumpEntry>& entries);

// Reads either format (the first non-blank character '[' followed by '{'
// anywhere means json). Returns false with a message on the first malformed
// entry; a file with no entry at all is malformed too.
bool ParseDump(const std::string& text, std::vector<DumpEntry>* entries, std::string* error);
