#pragma once
// The session file: what the module said during a session, one JSON object a
// line (UTF-8). The first line is the header; each further line is one
// exchange or a piece of the sync text, with `t` in seconds since "started"
// (millisecond resolution):
//   {"format": "tarvik-session", "version": 1, "started": "2026-12-11T09:10:11.123Z",
//    "program": "tarvik-cli 1.04", "port": "/dev/ttyUSB0", "baud": 115200, "device_id": 1,
//    "product": 1011, "firmware": "1.23", "hardware": "1.00", "configuration": {"sp": 100, ...}}
//   {"t": 1.234, "get": "0x37", "sub": 0, "type": "float32", "values": [1.2, -0.5, 179.9]}
//   {"t": 1.3, "set": "0x06", "type": "int32", "value": 1, "echo": 1}
//   {"t": 1.4, "get": "0x37", "sub": 0, "type": "float32", "failed": "no reply"}
//   {"t": 2.0, "sync": "<the characters received>"}
// Writing and reading here; the recorder (session_recorder.h) queues and
// writes, the simulator replays, tarvik-cli exports. nlohmann-json inside.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr char kSessionFormat[] = "tarvik-session";
inline constexpr int kSessionVersion = 1;

struct SessionConfigValue {
    std::string mnemonic;
    double value = 0;
};

struct SessionHeader {
    std::string started;   // UTC, ISO 8601 with milliseconds
    std::string program;   // name and version
    std::string port;
    int32_t baud = 0;
    int32_t deviceId = 0;
    // Left out of the file when they could not be read.
    std::optional<int32_t> product;
    std::optional<std::string> firmware, hardware;
    std::vector<SessionConfigValue> configuration;  // catalogue order
};

struct SessionRecord {
    enum class Kind { Get, Set, Sync };
    Kind kind = Kind::Get;
    double t = 0;
    uint16_t index = 0;
    uint8_t subIndex = 0;
    uint8_t type = 0;              // type code
    std::vector<double> values;    // a successful get
    double value = 0, echo = 0;    // a set (echo only when it succeeded)
    std::string failed;            // the failure's words; empty when it succeeded
    std::string sync;              // a piece of the sync text
    bool Succeeded() const { return failed.empty(); }
};

struct Session {
    SessionHeader header;
    std::vector<SessionRecord> records;
    bool cut = false;   // the last line stopped short (a crash or an unplug); read up to it
};

// "2026-12-11T09:10:11.123Z".
std::string UtcIso8601(std::chrono::system_clock::time_point when);

// The lines as written, each with its LF.
std::string SessionHeaderLine(const SessionHeader& header);
std::string SessionRecordLine(const SessionRecord& record);

// A float32 value as the double with the fewest digits that reads back as the
// same float (1.2f is written 1.2, not 1.2000000476837158).
double ShortestFloat(float value);

// Reads a session. A header that is not one (not JSON, another format, a
// version this program does not know) is refused with a message naming the
// file's first line; a malformed record line is refused with its number. A
// last line cut short is left out and *cut set.
bool ParseSession(const std::string& text, Session* session, std::string* error);
// The same for a file; "cannot read PATH" when it cannot be read; the
// messages begin with the path.
bool ReadSessionFile(const std::string& path, Session* session, std::string* error);

// ---- Data for other tools ----

// The CSV export (C locale, comma, LF): a column "t", then one column per
// element that a successful get recorded, in object and element order, named
// from the catalogue (euler_roll, ..., object_0xNN_K); one row per record
// time, each value the latest known then (empty before its first record).
std::string SessionCsv(const Session& session);

// One UDP datagram for a successful get at time t (seconds): one JSON object,
// {"t": 1.234, "euler": {"roll": 1.2, "pitch": -0.5, "yaw": 179.9}}; a
// one-element quantity as a plain number ({"t": 0.5, "voltage": 12.1}).
std::string UdpDatagram(double t, uint16_t index, uint8_t subIndex, uint8_t type, const double* values, int32_t count);
