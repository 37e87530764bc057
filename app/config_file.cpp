#include "app/config_file.h"

#include "app/object_values.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The line (1 = first) of a byte offset.
int LineOf(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    int line = 1;
    for (size_t i = 0; i < offset; ++i) line += text[i] == '\n';
    return line;
}

// Where each element of a json document's top-level array begins, in order.
// The text is valid json (parsed before), so only strings need care.
std::vector<size_t> ElementStarts(const std::string& text) {
    std::vector<size_t> starts;
    int depth = 0;
    bool inString = false, escaped = false, expecting = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (escaped) escaped = false;
            else if (c == '\\') escaped = true;
            else if (c == '"') inString = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (depth == 1 && c == ',') {
            expecting = true;
            continue;
        }
        if (depth == 1 && expecting && c != ']') {
            starts.push_back(i);
            expecting = false;
        }
        if (c == '"') inString = true;
        else if (c == '[' || c == '{') {
            ++depth;
            if (depth == 1) expecting = true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return starts;
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
        e.line = lineNo;
        e.value = Trim(line.substr(comma + 1));
        if (e.value.empty()) {
            *error = "line " + std::to_string(lineNo) + ": no value";
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

// The value of a JSON entry as the text tarvik-cli would print: integers in
// decimal, other numbers in their shortest exact form, strings as they are.
bool Finite(const nlohmann::json& v) {
    return v.is_number() && (!v.is_number_float() || std::isfinite(v.get<double>()));
}

bool ValueText(const nlohmann::json& v, std::string* text) {
    if (v.is_string()) *text = v.get<std::string>();
    else if (Finite(v)) *text = v.dump();
    else return false;  // null, true, an object, a number too large for a double
    return !text->empty();
}

bool ParseJson(const std::string& text, std::vector<DumpEntry>* entries, std::string* error) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 1, column 5: ..."
        const std::string what = e.what();
        const size_t colon = what.find(": ");
        *error = "line " + std::to_string(LineOf(text, e.byte > 0 ? e.byte - 1 : 0)) + ": " +
                 (colon == std::string::npos ? what : what.substr(colon + 2));
        return false;
    } catch (const nlohmann::json::exception& e) {
        // "[json.exception.out_of_range.406] number overflow parsing '1e999'":
        // the line is the one of that number.
        const std::string what = e.what();
        const size_t tag = what.find("] ");
        const size_t open = what.find('\''), close = what.rfind('\'');
        size_t at = 0;
        if (open != std::string::npos && close > open + 1) {
            at = text.find(what.substr(open + 1, close - open - 1));
            if (at == std::string::npos) at = 0;
        }
        *error = "line " + std::to_string(LineOf(text, at)) + ": " +
                 (tag == std::string::npos ? what : what.substr(tag + 2));
        return false;
    }
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (!doc.is_array()) {
        *error = "line " + std::to_string(LineOf(text, first)) + ": not an array of objects";
        return false;
    }
    const std::vector<size_t> starts = ElementStarts(text);
    int n = 0;
    for (const nlohmann::json& item : doc) {
        const int line = LineOf(text, static_cast<size_t>(n) < starts.size() ? starts[n] : first);
        ++n;
        const std::string where = "line " + std::to_string(line) + ": entry " + std::to_string(n);
        if (!item.is_object()) {
            *error = where + ": not an object of \"key\": value members";
            return false;
        }
        DumpEntry e;
        e.line = line;
        bool hasIndex = false, hasValue = false;
        if (auto it = item.find("index"); it != item.end()) {
            if (it->is_string()) hasIndex = ParseIndex(it->get<std::string>(), &e.index);
            else if (it->is_number_unsigned() && it->get<uint64_t>() <= 0xffff) {
                e.index = static_cast<uint16_t>(it->get<uint64_t>());
                hasIndex = true;
            }
        }
        if (auto it = item.find("value"); it != item.end()) hasValue = ValueText(*it, &e.value);
        if (auto it = item.find("mnemonic"); it != item.end() && it->is_string()) e.mnemonic = it->get<std::string>();
        if (!hasIndex || !hasValue) {
            *error = where + ": needs \"index\" and \"value\"";
            return false;
        }
        entries->push_back(e);
    }
    return true;
}

// A value for the object's type. Integers also in a decimal spelling of a
// whole number ("100.0", "1e2"), as a json file may hold them.
bool ParseFileValue(uint8_t type, const std::string& text, uint32_t* slot) {
    if (ParseValue(type, text, slot)) return true;
    if (type == OBJ_FLOAT32 || text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double d = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 2147483648.0)
        return false;
    char whole[32];
    std::snprintf(whole, sizeof whole, "%.0f", d);
    return ParseValue(type, whole, slot);
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
    // One entry per line, members in the order mnemonic, index, value. A value
    // is written as the number it reads as (its text kept), or as a string
    // when it is none (a value that is not a number, such as "nan").
    std::string out = "[\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const DumpEntry& e = entries[i];
        const bool number = Finite(nlohmann::json::parse(e.value, nullptr, false));
        const std::string value = number ? e.value : nlohmann::json(e.value).dump();
        out += "  {\"mnemonic\": " + nlohmann::json(e.mnemonic).dump() + ", \"index\": " +
               nlohmann::json(HexIndex(e.index)).dump() + ", \"value\": " + value + "}" +
               (i + 1 < entries.size() ? ",\n" : "\n");
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
        *error = "line " + std::to_string(LineOf(text, text.size())) + ": no object in the file";
        return false;
    }
    return ok;
}

bool CheckConfigText(const std::string& file, const std::string& text, std::vector<ConfigEntry>* entries,
                     std::string* error) {
    entries->clear();
    std::vector<DumpEntry> read;
    std::string problem;
    if (!ParseDump(text, &read, &problem)) {
        // "line N: what" becomes "FILE: line N: not a dump: what".
        const size_t colon = problem.rfind("line ", 0) == 0 ? problem.find(": ") : std::string::npos;
        *error = colon == std::string::npos ? file + ": not a dump: " + problem
                                            : file + ": " + problem.substr(0, colon) + ": not a dump: " +
                                                  problem.substr(colon + 2);
        return false;
    }
    std::vector<ConfigEntry> checked;
    for (const DumpEntry& e : read) {
        const std::string where = file + ": line " + std::to_string(e.line) + ": ";
        const od::ObjectInfo* info = od::Find(e.index);
        if (info == nullptr) {
            *error = where + "unknown object " + HexIndex(e.index);
            return false;
        }
        // The name beside the index is the catalogue's (or the index itself,
        // as the dump writes an object without a mnemonic).
        if (!e.mnemonic.empty() && e.mnemonic != info->mnemonic && e.mnemonic != HexIndex(e.index)) {
            *error = where + "unknown object " + e.mnemonic + " (" + HexIndex(e.index) + " is " +
                     (info->mnemonic[0] ? info->mnemonic : info->name) + ")";
            return false;
        }
        const std::string named = HexIndex(e.index) + " (" + info->name + ")";
        if (info->access == od::ACCESS_GET) {
            *error = where + "object " + named + " is read-only";
            return false;
        }
        if (info->access != od::ACCESS_GET_SET) {
            *error = where + "object " + named + " is not part of the configuration";
            return false;
        }
        ConfigEntry c;
        c.entry = e;
        c.info = info;
        if (!ParseFileValue(info->type, e.value, &c.slot)) {
            *error = where + info->mnemonic + " (" + HexIndex(e.index) + ") takes " + TypeName(info->type) + ", not \"" +
                     e.value + "\"";
            return false;
        }
        checked.push_back(c);
    }
    *entries = std::move(checked);
    return true;
}

bool ReadConfigFile(const std::string& path, std::vector<ConfigEntry>* entries, std::string* error) {
    entries->clear();
    std::string text;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    for (char buffer[4096]; fd >= 0;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;   // a folder: EISDIR
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    if (fd >= 0) close(fd);
    if (err != 0) {
        *error = path + ": cannot be read (" + std::strerror(err) + ")";
        return false;
    }
    return CheckConfigText(path, text, entries, error);
}

bool WriteTempFile(const std::string& path, const std::string& text, std::string* temp, std::string* error) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    *temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "." + name + ".tmp-XXXXXX";
    auto fail = [&](int err) {
        *error = "cannot write " + path + " (" + std::strerror(err) + ")";
        return false;
    };
    const int fd = mkstemp(temp->data());
    if (fd < 0) return fail(errno);
    // mkstemp makes the file 0600; a configuration file gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            close(fd);
            unlink(temp->c_str());
            return fail(err);
        }
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0) {
        const int err = errno;
        close(fd);
        unlink(temp->c_str());
        return fail(err);
    }
    if (close(fd) != 0) {
        const int err = errno;
        unlink(temp->c_str());
        return fail(err);
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
    std::string temp;
    if (!WriteTempFile(path, text, &temp, error)) return false;
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        *error = "cannot write " + path + " (" + std::strerror(err) + ")";
        return false;
    }
    return true;
}

bool WriteConfigFile(const std::string& path, const std::vector<DumpEntry>& entries, std::string* error) {
    const bool json = path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
    return WriteFileAtomically(path, json ? WriteDumpJson(entries) : WriteDumpIni(entries), error);
}
