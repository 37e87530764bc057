#pragma once
// Configuration files: the dump of the configurable objects, as tarvik-cli's
// dump and restore and the configuration window's "Save to File..." and
// "Load from File..." read and write it, in two formats:
//   ini:  [objects] then one line per object "mnemonic = 0xII, value"
//   json: an array of {"mnemonic": "sp", "index": "0x1f", "value": 100}
// Values are text as tarvik-cli prints them (decimal, floats "%.9g"); the
// json reader gives a number in its shortest exact form ("1e2" reads "100.0").
// The json side is nlohmann-json.
#include "device/object_dictionary.h"

#include <cstdint>
#include <string>
#include <vector>

struct DumpEntry {
    std::string mnemonic;
    uint16_t index = 0;
    std::string value;
    int line = 0;   // the file's line of the entry (1 = first), 0 when not read from a file
};

std::string WriteDumpIni(const std::vector<DumpEntry>& entries);
std::string WriteDumpJson(const std::vector<DumpEntry>& entries);

// Reads either format (the first non-blank character '[' followed by '{'
// anywhere means json). Returns false with a message on the first malformed
// entry, "line N: what" where the line is known; a file with no entry at all
// is malformed too.
bool ParseDump(const std::string& text, std::vector<DumpEntry>* entries, std::string* error);

// One entry of a checked file: a configurable object of the catalogue and its
// value in the object's type, as the protocol's variable holds it.
struct ConfigEntry {
    DumpEntry entry;                 // as read, with its line
    const od::ObjectInfo* info = nullptr;
    uint32_t slot = 0;               // the value for SetObjectXXX
};

// The file checks of the window and tarvik-cli. A file is taken whole or not
// at all: the first problem gives one message naming the file, the line and
// what is wrong, in one of these forms:
//   FILE: cannot be read (REASON)
//   FILE: line N: not a dump: WHAT
//   FILE: line N: unknown object NAME
//   FILE: line N: object 0xII (NAME) is read-only
//   FILE: line N: object 0xII (NAME) is not part of the configuration
//   FILE: line N: MNEMONIC (0xII) takes TYPE, not "VALUE"
// An integer object takes a whole number in any spelling ("100.0", "1e2").
bool CheckConfigText(const std::string& file, const std::string& text, std::vector<ConfigEntry>* entries,
                     std::string* error);
// Reads the file, then CheckConfigText.
bool ReadConfigFile(const std::string& path, std::vector<ConfigEntry>* entries, std::string* error);

// Writes the text to path atomically: a temporary file in the same folder,
// flushed, then renamed over path. False with a reason ("cannot write PATH
// (REASON)") when it fails; no temporary file is left behind.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
// The first half of that: the text in a new temporary file beside path
// (".NAME.tmp-XXXXXX"), flushed and closed; *temp is its path.
bool WriteTempFile(const std::string& path, const std::string& text, std::string* temp, std::string* error);
// The entries in the format the name asks for (json when it ends in ".json",
// ini otherwise), written atomically.
bool WriteConfigFile(const std::string& path, const std::vector<DumpEntry>& entries, std::string* error);
