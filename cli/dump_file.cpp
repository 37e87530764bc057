#include "cli/dump_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool ParseIndex(const std::string& text, uint16_t* index) {
    std::string t = Trim(text);
    if (t.empty()) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(t.c_str(), &end, 0);
    if (*end != '\0' || v > 0xffff) return false;
    *index = static_cast<uint16_t>(v);
    return true;
}

std::string HexIndex(uint16_t index) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", index);
    return text;
}

bool ParseIni(const std::string& text, std::vector<DumpEntry>* entries, std::string* error) {
    size_t pos = 0;
    int lineNo = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
        size_t eq = line.find('=');
        size_t comma = line.find(',', eq == std::string::npos ? 0 : eq);
        DumpEntry e;
        if (eq == std::string::npos || comma == std::string::npos ||
            !ParseIndex(line.substr(eq + 1, comma - eq - 1), &e.index)) {
            *error = "line " + std::to_string(lineNo) + ": expected \"mnemonic = index, value\"";
            return false;
        }
        e.mnemonic = Trim(line.substr(0, eq));
        e.value = Trim(line.substr(comma + 1));
        if (e.value.empty()) {
            *error = "line " + std::to_string(lineNo) + ": no value";
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

// The value of "key" inside one JSON object's text: a string without its
// quotes, or a bare number. Empty when absent.
std::string JsonField(const std::string& object, const std::string& key, bool* found) {
    *found = false;
    size_t k = object.find("\"" + key + "\"");
    if (k == std::string::npos) return {};
    size_t colon = object.find(':', k);
    if (colon == std::string::npos) return {};
    size_t v = colon + 1;
    while (v < object.size() && std::isspace(static_cast<unsigned char>(object[v]))) ++v;
    if (v >= object.size()) return {};
    *found = true;
    if (object[v] == '"') {
        size_t close = object.find('"', v + 1);
        if (close == std::string::npos) {
            *found = false;
            return {};
        }
        return object.substr(v + 1, close - v - 1);
    }
    size_t e = v;
    while (e < object.size() && object[e] != ',' && object[e] != '}' &&
           !std::isspace(static_cast<unsigned char>(object[e])))
        ++e;
    return object.substr(v, e - v);
}

bool ParseJson(const std::string& text, std::vector<DumpEntry>* entries, std::string* error) {
    size_t pos = 0;
    int n = 0;
    while ((pos = text.find('{', pos)) != std::string::npos) {
        size_t close = text.find('}', pos);
        if (close == std::string::npos) {
            *error = "unterminated object";
            return false;
        }
        std::string object = text.substr(pos, close - pos + 1);
        pos = close + 1;
        ++n;
        DumpEntry e;
        bool hasIndex = false, hasValue = false, hasMnemonic = false;
        std::string index = JsonField(object, "index", &hasIndex);
        e.value = JsonField(object, "value", &hasValue);
        e.mnemonic = JsonField(object, "mnemonic", &hasMnemonic);
        if (!hasIndex || !ParseIndex(index, &e.index) || !hasValue || e.value.empty()) {
            *error = "entry " + std::to_string(n) + ": needs \"index\" and \"value\"";
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

}  // namespace

std::string WriteDumpIni(const std::vector<DumpEntry>& entries) {
    std::string out = "; tarvik-cli dump: mnemonic = index, value\n[objects]\n";
    for (const DumpEntry& e : entries)
        out += (e.mnemonic.empty() ? HexIndex(e.index) : e.mnemonic) + " = " + HexIndex(e.index) + ", " +
               e.value + "\n";
    return out;
}

std::string WriteDumpJson(const std::vector<DumpEntry>& entries) {
    std::string out = "[\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const DumpEntry& e = entries[i];
        out += "  {\"mnemonic\": \"" + e.mnemonic + "\", \"index\": \"" + HexIndex(e.index) +
               "\", \"value\": " + e.value + "}" + (i + 1 < entries.size() ? ",\n" : "\n");
    }
    out += "]\n";
    return out;
}

bool ParseDump(const std::string& text, std::vector<DumpEntry>* entries, std::string* error) {
    entries->clear();
    size_t first = text.find_first_not_of(" \t\r\n");
    bool json = first != std::string::npos && text[first] == '[' && text.find('{') != std::string::npos &&
                text.find("[objects]") == std::string::npos;
    bool ok = json ? ParseJson(text, entries, error) : ParseIni(text, entries, error);
    if (ok && entries->empty()) {
        *error = "no object in the file";
        return false;
    }
    return ok;
}
