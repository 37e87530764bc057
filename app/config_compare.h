#pragma once
// The module's configuration beside a configuration file: reading every
// configurable object (tarvik-cli dump, "Save to File...", the backups),
// comparing a checked file with it (tarvik-cli diff, "Compare
// Configuration"), and writing a selection of the file's objects back with
// the flash command and reading them back (tarvik-cli restore, "Apply
// Selected"). Device calls go through g_pObjectAccess; nothing here sleeps
// or shows anything.
#include "app/config_file.h"

#include <functional>
#include <string>
#include <vector>

// Called after a failed device call with the number of failures of that call
// so far (1, 2, ...); true to try it again (tarvik-cli waits out the link's
// back-off, three attempts in all). Empty: one attempt only.
using RetryAfterFailure = std::function<bool(int failures)>;

// Every configurable object of the catalogue (read and write), in index order.
std::vector<const od::ObjectInfo*> ConfigurableObjects();

// Reads every configurable object (element 0), each value as `get` prints it.
struct ConfigReading {
    bool ok = false;
    std::vector<DumpEntry> entries;          // in catalogue order when ok
    const od::ObjectInfo* failed = nullptr;  // the object whose read failed
    std::string error;                       // "no connection" or "cannot read sp (0x1f): no reply"
};
// leaveOutFailed: an object whose read fails is left out and the reading
// goes on (a session's header); otherwise the first failure ends it.
ConfigReading ReadConfiguration(const RetryAfterFailure& retry = {}, bool leaveOutFailed = false);

// One object of a file beside the module's value.
struct CompareRow {
    std::string label;        // the page's label ("Sync. period (sp)"), or the mnemonic where no page shows it
    std::string mnemonic;
    uint16_t index = 0;
    const od::ObjectInfo* info = nullptr;
    int line = 0;             // the file's line
    std::string moduleValue;  // as `get` prints it
    std::string fileValue;    // the file's value as `get` would print it
    uint32_t writeSlot = 0;   // the value to write: the file's, limited to the page's limits
    std::string writeValue;   // writeSlot as `get` prints it (what the window shows)
    bool limited = false;     // the file's value lies outside the page's limits
    std::string note;         // when limited: "limited to 0 ~ 360 (file: 500)"
    bool differs = false;     // writeValue and moduleValue are different numbers
};

// One row per file entry, in file order. module: ReadConfiguration's
// entries; an object missing there counts as differing, with an empty
// module value.
std::vector<CompareRow> CompareConfiguration(const std::vector<ConfigEntry>& file,
                                             const std::vector<DumpEntry>& module);

// Whether two values as `get` prints them are the same number ("100" and
// "100.0" are); texts that are no numbers compare as text.
bool SameValue(const std::string& a, const std::string& b);

// One object to write: element 0 of the object, the value as the protocol's
// variable holds it (a row's writeSlot, or a ConfigEntry's slot).
struct ConfigWrite {
    const od::ObjectInfo* info = nullptr;
    uint32_t slot = 0;
};

// Writes each object in the given order, then command 1 (flash write) to
// object 0x06. Stops at the first failure: false with
// "set sp (0x1f) failed: REASON" or "flash write (command 1) failed: REASON".
bool WriteConfiguration(const std::vector<ConfigWrite>& writes, std::string* error,
                        const RetryAfterFailure& retry = {});

// After the module has had its time for the flash write (500 ms): reads each
// written object back.
struct ReadBack {
    ConfigWrite write;
    std::string wrote;        // the written value as `get` prints it
    std::string kept;         // the value the module kept, as `get` prints it
    bool keptDiffers = false; // the module did not keep the written value
};
// False with "read-back of sp (0x1f) failed: REASON" at the first failed read
// (the objects read until then are in *results).
bool ReadBackConfiguration(const std::vector<ConfigWrite>& writes, std::vector<ReadBack>* results,
                           std::string* error, const RetryAfterFailure& retry = {});
