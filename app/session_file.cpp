#include "app/session_file.h"

#include "app/c_locale.h"
#include "app/number_parse.h"
#include "app/object_values.h"
#include "device/object_dictionary.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using nlohmann::json;

std::string Hex(uint16_t index) { return FormatC("0x%02x", index); }

// A number as JSON: integers of the integer types as integers.
nlohmann::ordered_json Number(uint8_t type, double v) {
    if (!std::isfinite(v)) return nullptr;  // JSON has no NaN or infinity
    if (type == OBJ_FLOAT32) return ShortestFloat(static_cast<float>(v));
    return DoubleToInt64(v);  // a hand-made file's 1e79 for an integer object: its limit
}

double Millis(double t) { return std::round(t * 1000.0) / 1000.0; }

// The object's index from "0x37".
bool ParseIndex(const json& v, uint16_t* index) {
    if (!v.is_string()) return false;
    const std::string text = v.get<std::string>();
    auto ref = ResolveObject(text);
    if (!ref || text.rfind("0x", 0) != 0) return false;
    *index = ref->index;
    return true;
}

bool ParseType(const json& v, uint8_t* type) {
    if (!v.is_string()) return false;
    const int code = TypeCode(v.get<std::string>());
    if (code < 0) return false;
    *type = static_cast<uint8_t>(code);
    return true;
}

// A number, or null for a value that was no finite number.
bool ParseValue(const json& v, double* value) {
    if (v.is_null()) {
        *value = std::nan("");
        return true;
    }
    if (!v.is_number()) return false;
    *value = v.get<double>();
    return true;
}

bool ParseRecord(const json& j, SessionRecord* r, std::string* what) {
    if (!j.is_object()) return *what = "not a JSON object", false;
    if (!j.contains("t") || !j["t"].is_number()) return *what = "no time \"t\"", false;
    r->t = j["t"].get<double>();
    if (j.contains("sync")) {
        if (!j["sync"].is_string()) return *what = "\"sync\" is not text", false;
        r->kind = SessionRecord::Kind::Sync;
        r->sync = j["sync"].get<std::string>();
        return true;
    }
    const bool get = j.contains("get");
    if (!get && !j.contains("set")) return *what = "neither \"get\", \"set\" nor \"sync\"", false;
    r->kind = get ? SessionRecord::Kind::Get : SessionRecord::Kind::Set;
    if (!ParseIndex(j[get ? "get" : "set"], &r->index)) return *what = "bad object index", false;
    if (!j.contains("type") || !ParseType(j["type"], &r->type)) return *what = "bad \"type\"", false;
    if (j.contains("failed")) {
        if (!j["failed"].is_string()) return *what = "\"failed\" is not text", false;
        r->failed = j["failed"].get<std::string>();
        if (r->failed.empty()) r->failed = "failed";
    }
    if (get) {
        if (j.contains("sub")) {
            if (!j["sub"].is_number_unsigned() || j["sub"].get<uint64_t>() > 255) return *what = "bad \"sub\"", false;
            r->subIndex = static_cast<uint8_t>(j["sub"].get<uint64_t>());
        }
        if (!r->Succeeded()) return true;
        if (!j.contains("values") || !j["values"].is_array()) return *what = "no \"values\"", false;
        for (const json& v : j["values"]) {
            double d = 0;
            if (!ParseValue(v, &d)) return *what = "a value is no number", false;
            r->values.push_back(d);
        }
        return true;
    }
    if (!j.contains("value") || !ParseValue(j["value"], &r->value)) return *what = "bad \"value\"", false;
    if (r->Succeeded() && (!j.contains("echo") || !ParseValue(j["echo"], &r->echo))) return *what = "bad \"echo\"", false;
    return true;
}

bool ParseHeader(const json& j, SessionHeader* h, std::string* what) {
    if (!j.is_object() || !j.contains("format") || j["format"] != kSessionFormat)
        return *what = std::string("not a session file (its first line has no \"format\": \"") + kSessionFormat + "\")",
               false;
    if (!j.contains("version") || !j["version"].is_number_integer()) return *what = "the header has no version", false;
    if (j["version"].get<int64_t>() != kSessionVersion)
        return *what = "session file version " + j["version"].dump() + " (this program reads version " +
                       std::to_string(kSessionVersion) + ")",
               false;
    if (!j.contains("started") || !j["started"].is_string()) return *what = "the header has no \"started\" time", false;
    h->started = j["started"].get<std::string>();
    auto text = [&](const char* key, std::string* out) {
        if (j.contains(key) && j[key].is_string()) *out = j[key].get<std::string>();
    };
    auto integer = [&](const char* key) -> std::optional<int32_t> {
        if (j.contains(key) && j[key].is_number_integer()) return static_cast<int32_t>(j[key].get<int64_t>());
        return std::nullopt;
    };
    text("program", &h->program);
    text("port", &h->port);
    h->baud = integer("baud").value_or(0);
    h->deviceId = integer("device_id").value_or(0);
    h->product = integer("product");
    if (j.contains("firmware") && j["firmware"].is_string()) h->firmware = j["firmware"].get<std::string>();
    if (j.contains("hardware") && j["hardware"].is_string()) h->hardware = j["hardware"].get<std::string>();
    if (j.contains("configuration") && j["configuration"].is_object())
        for (const auto& [mnemonic, value] : j["configuration"].items())
            if (value.is_number()) h->configuration.push_back({mnemonic, value.get<double>()});
    return true;
}

}  // namespace

double ShortestFloat(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double d = value;
    std::from_chars(text, end, d);
    return d;
}

std::string UtcIso8601(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    return FormatC("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                   utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
}

std::string SessionHeaderLine(const SessionHeader& h) {
    // Members in the order of the documented header (ordered_json keeps it).
    nlohmann::ordered_json o;
    o["format"] = kSessionFormat;
    o["version"] = kSessionVersion;
    o["started"] = h.started;
    o["program"] = h.program;
    o["port"] = h.port;
    o["baud"] = h.baud;
    o["device_id"] = h.deviceId;
    if (h.product) o["product"] = *h.product;
    if (h.firmware) o["firmware"] = *h.firmware;
    if (h.hardware) o["hardware"] = *h.hardware;
    nlohmann::ordered_json configuration = nlohmann::ordered_json::object();
    for (const SessionConfigValue& c : h.configuration) {
        const od::ObjectInfo* info = od::FindByMnemonic(c.mnemonic);
        configuration[c.mnemonic] = Number(info ? info->type : static_cast<uint8_t>(OBJ_FLOAT32), c.value);
    }
    o["configuration"] = configuration;
    return o.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string SessionRecordLine(const SessionRecord& r) {
    nlohmann::ordered_json o;
    o["t"] = Millis(r.t);
    switch (r.kind) {
    case SessionRecord::Kind::Sync:
        o["sync"] = r.sync;
        break;
    case SessionRecord::Kind::Get: {
        o["get"] = Hex(r.index);
        o["sub"] = r.subIndex;
        o["type"] = TypeName(r.type);
        if (!r.Succeeded()) {
            o["failed"] = r.failed;
            break;
        }
        nlohmann::ordered_json values = nlohmann::ordered_json::array();
        for (double v : r.values) values.push_back(Number(r.type, v));
        o["values"] = values;
        break;
    }
    case SessionRecord::Kind::Set:
        o["set"] = Hex(r.index);
        o["type"] = TypeName(r.type);
        o["value"] = Number(r.type, r.value);
        if (r.Succeeded()) o["echo"] = Number(r.type, r.echo);
        else o["failed"] = r.failed;
        break;
    }
    return o.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

bool ParseSession(const std::string& text, Session* session, std::string* error) {
    *session = Session{};
    size_t from = 0;
    int line = 0;
    while (from < text.size()) {
        const size_t eol = text.find('\n', from);
        const bool complete = eol != std::string::npos;
        const std::string lineText = text.substr(from, complete ? eol - from : std::string::npos);
        from = complete ? eol + 1 : text.size();
        ++line;
        if (lineText.find_first_not_of(" \t\r") == std::string::npos) continue;
        const json j = json::parse(lineText, nullptr, false);
        std::string what;
        if (line == 1) {
            if (j.is_discarded()) {
                *error = "not a session file (its first line is no JSON object)";
                return false;
            }
            if (!ParseHeader(j, &session->header, &what)) {
                *error = what;
                return false;
            }
            continue;
        }
        SessionRecord r;
        if (!j.is_discarded() && ParseRecord(j, &r, &what)) {
            session->records.push_back(std::move(r));
            continue;
        }
        // The last line of a recording that stopped short: read up to it.
        if (!complete) {
            session->cut = true;
            break;
        }
        *error = "line " + std::to_string(line) + ": " + (j.is_discarded() ? std::string("not JSON") : what);
        return false;
    }
    if (line == 0) {
        *error = "empty file, no session header";
        return false;
    }
    return true;
}

bool ReadSessionFile(const std::string& path, Session* session, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::stringstream s;
    s << in.rdbuf();
    if (!ParseSession(s.str(), session, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

std::string SessionCsv(const Session& session) {
    // The columns: every element a successful get recorded, with its type.
    std::map<std::pair<uint16_t, int>, uint8_t> columns;
    for (const SessionRecord& r : session.records)
        if (r.kind == SessionRecord::Kind::Get && r.Succeeded())
            for (size_t i = 0; i < r.values.size(); ++i) columns[{r.index, r.subIndex + static_cast<int>(i)}] = r.type;
    std::map<std::pair<uint16_t, int>, size_t> position;
    std::string out = "t";
    for (const auto& [key, type] : columns) {
        position[key] = position.size();
        out += ',';
        out += od::ElementName(key.first, key.second);
    }
    out += "\n";
    std::vector<std::string> latest(columns.size());
    auto format = [](uint8_t type, double v) {
        if (!std::isfinite(v)) return std::string();
        return type == OBJ_FLOAT32 ? FormatC("%.9g", v) : FormatC("%.0f", v);
    };
    // Records of one time make one row, written when the time moves on.
    bool pending = false;
    double rowTime = 0;
    auto flush = [&] {
        if (!pending) return;
        out += FormatC("%.3f", rowTime);
        for (const std::string& v : latest) {
            out += ',';
            out += v;
        }
        out += "\n";
        pending = false;
    };
    for (const SessionRecord& r : session.records) {
        if (r.kind != SessionRecord::Kind::Get || !r.Succeeded() || r.values.empty()) continue;
        const double t = Millis(r.t);
        if (pending && t != rowTime) flush();
        rowTime = t;
        pending = true;
        for (size_t i = 0; i < r.values.size(); ++i)
            latest[position[{r.index, r.subIndex + static_cast<int>(i)}]] = format(r.type, r.values[i]);
    }
    flush();
    return out;
}

std::string UdpDatagram(double t, uint16_t index, uint8_t subIndex, uint8_t type, const double* values, int32_t count) {
    nlohmann::ordered_json o;
    o["t"] = Millis(t);
    const std::string quantity = od::QuantityName(index);
    if (count == 1 && od::ElementKey(index, subIndex).empty()) {
        o[quantity] = Number(type, values[0]);
    } else {
        nlohmann::ordered_json elements = nlohmann::ordered_json::object();
        for (int32_t i = 0; i < count; ++i) elements[od::ElementKey(index, subIndex + i)] = Number(type, values[i]);
        o[quantity] = elements;
    }
    return o.dump();
}
