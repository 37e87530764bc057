#pragma once
// Command line of tarvik-cli: global connection options (before or after the
// command), the command and its own options; each command has its own --help.
// Parsing only; nothing here touches a port.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    bool help = false;         // --help or -h: print helpText and exit 0
    std::string helpText;      // the usage, or one command's own help after COMMAND --help
    // Connection. Empty port / unset baud: taken from TARVIK_UI.ini or defaults.
    std::string port;
    bool portGiven = false;
    int32_t baud = 0;          // 0 = try every rate
    bool baudGiven = false;
    int32_t timeoutMs = 30;
    int32_t deviceId = 1;
    std::string record;        // --record FILE: the session's exchanges into FILE
    std::string udp;           // --udp HOST:PORT: each successful read as a datagram

    std::string command;       // ports, info, get, set, watch, dump, restore, diff, export, stream, probe, calibrate, doctor
    std::vector<std::string> args;   // positional arguments after the command

    // Command options; "Given" tells an explicit value from the default.
    std::string type;          // int8, int16, int32, float32; empty = catalogue's
    int32_t sub = 0;
    int32_t count = 0;
    bool countGiven = false;
    int32_t intervalMs = 100;
    std::string format = "ini";
    double seconds = 0;        // 0 = until interrupted
    std::string out;
    int32_t delay = 1;
    std::string samples;       // calibrate magnetometer: CSV file of the readings
    bool json = false;         // JSON instead of lines: ports, doctor, calibrate magnetometer (the coach's)
    std::string csv;           // export --csv OUT
    std::vector<std::string> only;   // restore --only: the mnemonics to restore (empty: all)
};

// Parses argv. On a usage error returns nothing and puts one line into *error.
std::optional<CliOptions> ParseCliOptions(int argc, const char* const* argv, std::string* error);

// The usage text printed for --help and on a usage error.
const char* CliUsage();
