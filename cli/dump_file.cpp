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

// One JSON object's members, read in order: "key": "string" or "key": bare
// (a number or a word). Keys and values are matched as whole tokens, so a
// mnemonic that reads "value" or "index", or a string holding ':', ',' or '}',
// is taken for what it is. Returns false on text that is not such an object;
// *end is set behind its closing '}'.
struct JsonMember {
    std::string key;
    std::string value;
};

void SkipBlanks(const std::string& t, size_t* i) {
    while (*i < t.size() && std::isspace(static_cast<unsigned char>(t[*i]))) ++*i;
}

bool JsonString(const std::string& t, size_t* i, std::string* out) {
    if (*i >= t.size() || t[*i] != '"') return false;
    const size_t close = t.find('"', *i + 1);
    if (close == std::string::npos) return false;
    *out = t.substr(*i + 1, close - *i - 1);
    *i = close + 1;
    return true;
}

bool JsonObject(const std::string& t, size_t open, std::vector<JsonMember>* members, size_t* end) {
    size_t i = open + 1;
    SkipBlanks(t, &i);
    if (i < t.size() && t[i] == '}') {
        *end = i + 1;
        return true;
    }
    while (i < t.size()) {
        JsonMember m;
        SkipBlanks(t, &i);
        if (!JsonString(t, &i, &m.key)) return false;
        SkipBlanks(t, &i);
        if (i >= t.size() || t[i] != ':') return false;
        ++i;
        SkipBlanks(t, &i);
        if (i < t.size() && t[i] == '"') {
            if (!JsonString(t, &i, &m.value)) return false;
        } else {
            const size_t b = i;
            while (i < t.size() && t[i] != ',' && t[i] != '}' && !std::isspace(static_cast<unsigned char>(t[i]))) ++i;
            m.value = t.substr(b, i - b);
            if (m.value.empty()) return false;
        }
        members->push_back(m);
        SkipBlanks(t, &i);
        if (i < t.size() && t[i] == ',') {
            ++i;
            continue;
        }
        if (i < t.size() && t[i] == '}') {
            *end = i + 1;
            return true;
        }
        return false;
    }
    return false;
}

bool ParseJson(const std::string& text, std::vector<DumpEntry>* entries, std::string* error) {
    size_t pos = 0;
    int n = 0;
    while ((pos = text.find('{', pos)) != std::string::npos) {
        ++n;
        std::vector<JsonMember> members;
        size_t end = 0;
        if (!JsonObject(text, pos, &members, &end)) {
            *error = "entry " + std::to_string(n) + ": not an object of \"key\": value members";
            return false;
        }
        pos = end;
        DumpEntry e;
        bool hasIndex = false, hasValue = false;
        for (const JsonMember& m : members) {
            if (m.key == "index") hasIndex = ParseIndex(m.value, &e.index);
            else if (m.key == "value") { e.value = m.value; hasValue = !m.value.empty(); }
            else if (m.key == "mnemonic") e.mnemonic = m.value;
        }
        if (!hasIndex || !hasValue) {
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
