// Fuzz target: the dump file reader of `tarvik-cli restore` and the
// configuration window. The input is the file's content, read as either
// format, and checked as a configuration file: a refusal names the file. When every entry read has a plain
// mnemonic and value (the kind the dump writer produces), writing the entries
// in each format and reading them back must give the same entries; a value
// may come back in another spelling of the same number ("1e2", "100.0").
#include "app/config_file.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool Plain(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '-' || c == '+')) return false;
    return true;
}

// The same text, or the same number in another spelling.
bool SameValue(const std::string& a, const std::string& b) {
    if (a == b) return true;
    char *endA = nullptr, *endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
    return *endA == '\0' && *endB == '\0' && x == y;
}

bool Same(const std::vector<DumpEntry>& a, const std::vector<DumpEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].mnemonic != b[i].mnemonic || a[i].index != b[i].index || !SameValue(a[i].value, b[i].value))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<DumpEntry> entries;
    std::string error;
    std::vector<ConfigEntry> checked;
    std::string problem;
    if (!CheckConfigText("f", text, &checked, &problem) && (problem.rfind("f: ", 0) != 0 || !checked.empty()))
        std::abort();
    const bool ok = ParseDump(text, &entries, &error);
    if (!ok) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (entries.empty()) std::abort();
    for (const DumpEntry& e : entries)
        if (!Plain(e.mnemonic) || !Plain(e.value)) return 0;
    for (int json = 0; json < 2; ++json) {
        std::vector<DumpEntry> back;
        std::string backError;
        const std::string written = json ? WriteDumpJson(entries) : WriteDumpIni(entries);
        if (!ParseDump(written, &back, &backError) || !Same(entries, back)) std::abort();
    }
    return 0;
}
