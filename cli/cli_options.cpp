#include "cli/cli_options.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace {

bool ParseInt(const std::string& text, int64_t minimum, int64_t maximum, int32_t* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < minimum || v > maximum) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseDouble(const std::string& text, double minimum, double maximum, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= minimum && v <= maximum)) return false;
    *value = v;
    return true;
}

// Which options each command accepts, and how many positional arguments.
struct CommandShape {
    const char* name;
    int positional;
    std::set<std::string> options;
};

const CommandShape kCommands[] = {
    {"ports", 0, {}},
    {"info", 0, {}},
    {"get", 1, {"--type", "--sub", "--count"}},
    {"set", 2, {"--type"}},
    {"watch", 1, {"--type", "--sub", "--count", "--interval"}},
    {"dump", 0, {"--format"}},
    {"restore", 1, {}},
    {"stream", 0, {"--seconds", "--out"}},
    {"probe", 1, {"--out", "--delay"}},
    {"calibrate", 1, {"--samples"}},
    {"doctor", 0, {}},
};

}  // namespace

const char* CliUsage() {
    return "usage: tarvik-cli [--port PATH] [--baud N|auto] [--timeout MS] [--id N] COMMAND ...\n"
           "       tarvik-cli --help | -h                  this text\n"
           "  ports                                  serial ports found, one path per line\n"
           "  info                                   product, firmware, hardware, voltage, temperature, status\n"
           "  get OBJ [--type T] [--sub N] [--count N]\n"
           "  set OBJ VALUE [--type T]               prints the value the module echoed\n"
           "  watch OBJ [--type T] [--sub N] [--count N] [--interval MS]\n"
           "  dump [--format ini|json]               every configurable object\n"
           "  restore FILE                           write a dump back, flash-write, verify\n"
           "  stream [--seconds S] [--out FILE]      the sync data lines, verbatim\n"
           "  probe KIND --out FILE [--delay N]      KIND 0..7 or acc-raw, gyro-raw, mag-raw, acc, gyro,\n"
           "                                         mag, fft-acc, fft-gyro\n"
           "  calibrate gyro-accel|magnetometer|temperature\n"
           "  calibrate magnetometer [--samples FILE] also: coverage and ellipsoid fit of the readings\n"
           "  doctor                                 what stops a link on each port (or --port), and how to fix it\n"
           "OBJ: hex (0x37), decimal or a mnemonic (sp, sd, ...). T: int8, int16, int32, float32.\n"
           "Exit status: 0 success, 1 device failure (for watch: any failed poll), 2 usage error.\n";
}

std::optional<CliOptions> ParseCliOptions(int argc, const char* const* argv, std::string* error) {
    CliOptions o;
    const CommandShape* shape = nullptr;
    auto fail = [&](const std::string& message) -> std::optional<CliOptions> {
        *error = message;
        return std::nullopt;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        // Asking for help is never an error, wherever it stands.
        if (a == "--help" || a == "-h") {
            CliOptions help;
            help.help = true;
            return help;
        }
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (i + 1 >= argc) return fail("option " + a + " needs a value");
            std::string v = argv[++i];
            bool global = a == "--port" || a == "--baud" || a == "--timeout" || a == "--id";
            if (!global && (shape == nullptr || shape->options.count(a) == 0))
                return fail("unknown option " + a + (shape ? std::string(" for ") + shape->name : ""));
            if (a == "--port") {
                if (v.empty()) return fail("empty port name");
                o.port = v;
                o.portGiven = true;
            } else if (a == "--baud") {
                o.baudGiven = true;
                if (v == "auto") o.baud = 0;
                else if (!ParseInt(v, 1, 4000000, &o.baud)) return fail("bad baud rate " + v);
            } else if (a == "--timeout") {
                if (!ParseInt(v, 1, 60000, &o.timeoutMs)) return fail("bad time-out " + v);
            } else if (a == "--id") {
                if (!ParseInt(v, 0, 255, &o.deviceId)) return fail("bad device id " + v);
            } else if (a == "--type") {
                if (v != "int8" && v != "int16" && v != "int32" && v != "float32")
                    return fail("bad type " + v);
                o.type = v;
            } else if (a == "--sub") {
                if (!ParseInt(v, 0, 255, &o.sub)) return fail("bad sub-index " + v);
            } else if (a == "--count") {
                // For watch the number of polls; otherwise elements, and 61
                // are the most one reply frame can carry.
                const bool polls = std::string(shape->name) == "watch";
                if (!ParseInt(v, 1, polls ? INT32_MAX : 61, &o.count))
                    return fail("bad count " + v + (polls ? "" : " (1..61)"));
                o.countGiven = true;
            } else if (a == "--interval") {
                if (!ParseInt(v, 1, 3600000, &o.intervalMs)) return fail("bad interval " + v);
            } else if (a == "--format") {
                if (v != "ini" && v != "json") return fail("bad format " + v);
                o.format = v;
            } else if (a == "--seconds") {
                if (!ParseDouble(v, 0.001, 1e7, &o.seconds)) return fail("bad seconds " + v);
            } else if (a == "--out") {
                if (v.empty()) return fail("empty output file name");
                o.out = v;
            } else if (a == "--samples") {
                if (v.empty()) return fail("empty samples file name");
                o.samples = v;
            } else if (a == "--delay") {
                if (!ParseInt(v, 1, 100, &o.delay)) return fail("bad delay " + v + " (1..100)");
            }
            continue;
        }
        if (shape == nullptr) {
            for (const CommandShape& c : kCommands)
                if (a == c.name) shape = &c;
            if (shape == nullptr) return fail("unknown command " + a);
            o.command = a;
        } else {
            o.args.push_back(a);
        }
    }
    if (shape == nullptr) return fail("no command");
    if (static_cast<int>(o.args.size()) != shape->positional)
        return fail(std::string("wrong number of arguments for ") + shape->name);
    if (o.command == "probe" && o.out.empty()) return fail("probe needs --out FILE");
    if (o.command == "calibrate" && o.args[0] != "gyro-accel" && o.args[0] != "magnetometer" &&
        o.args[0] != "temperature")
        return fail("unknown calibration " + o.args[0]);
    if (!o.samples.empty() && o.args[0] != "magnetometer") return fail("--samples is for calibrate magnetometer");
    return o;
}
