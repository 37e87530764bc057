#pragma once
// Command line of tarvik-cli: global connection options, the command and its
// own options. Parsing only; nothing here touches a port.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    bool help = false;         // --help or -h: print the usage and exit 0
    // Connection. Empty port / unset baud: taken from TARVIK_UI.ini or defaults.
    std::string port;
    bool portGiven = false;
    int32_t baud = 0;          // 0 = try every rate
    bool baudGiven = false;
    int32_t timeoutMs = 30;
    int32_t deviceId = 1;

    std::string command;       // ports, info, get, set, watch, dump, restore, stream, probe, calibrate
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
};

// Parses argv. On a usage error returns nothing and puts one line into *error.
std::optional<CliOptions> ParseCliOptions(int argc, const char* const* argv, std::string* error);

// The usage text printed for --help and on a usage error.
const char* CliUsage();
