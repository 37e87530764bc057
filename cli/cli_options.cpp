#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

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

// The command options, each with its value name (none for a flag) and help line.
struct OptionSpec {
    const char* name;
    const char* value;
    const char* help;
};

const OptionSpec kOptions[] = {
    {"--type", "T", "element type: int8, int16, int32 or float32 (default: the catalogue's)"},
    {"--sub", "N", "first sub-index, 0..255 (default 0)"},
    {"--count", "N", "elements, 1..61 (default: the catalogue's count)"},
    {"--interval", "MS", "poll period, 1..3600000 ms (default 100)"},
    {"--format", "ini|json", "dump format (default ini)"},
    {"--seconds", "S", "stop after S seconds (default: until interrupted)"},
    {"--out", "FILE", "write to FILE"},
    {"--csv", "OUT", "export: write the CSV file OUT"},
    {"--delay", "N", "probe delay, 1..100 (default 1)"},
    {"--samples", "FILE", "calibrate magnetometer: write the readings as CSV"},
    {"--json", nullptr, "the result as JSON instead of lines"},
    {"--only", "MNEMONIC[,MNEMONIC...]", "restore just these objects of the file"},
};

// Each command: its synopsis, what it does, its positional arguments and
// which of the options above it takes.
struct CommandSpec {
    const char* name;
    const char* synopsis;
    const char* description;
    std::vector<std::pair<const char*, const char*>> positionals;
    std::vector<const char*> options;
};

const std::vector<CommandSpec>& Commands() {
    static const std::vector<CommandSpec> commands = {
        {"ports", "ports [--json]",
         "The serial ports found, one per line: the path, a tab and what the system knows of it (opens nothing).",
         {}, {"--json"}},
        {"info", "info", "Product, firmware, hardware, voltage, temperature and status word.", {}, {}},
        {"get", "get OBJ [--type T] [--sub N] [--count N]", "Reads an object; the values on one line.",
         {{"OBJ", "object: hex (0x37), decimal or a mnemonic (sp, sd, ...)"}},
         {"--type", "--sub", "--count"}},
        {"set", "set OBJ VALUE [--type T]", "Writes element 0 of an object; prints the value the module echoed.",
         {{"OBJ", "object: hex (0x37), decimal or a mnemonic (sp, sd, ...)"}, {"VALUE", "the value to write"}},
         {"--type"}},
        {"watch", "watch OBJ [--type T] [--sub N] [--count N] [--interval MS]",
         "Polls an object; one line per poll: the values, or error.",
         {{"OBJ", "object: hex (0x37), decimal or a mnemonic (sp, sd, ...)"}},
         {"--type", "--sub", "--count", "--interval"}},
        {"dump", "dump [--format ini|json]", "Every configurable object: mnemonic, index, value.", {}, {"--format"}},
        {"restore", "restore FILE [--only MNEMONIC[,MNEMONIC...]]",
         "Writes a dump back (or only the objects named), flash-writes it and reads every written object back.",
         {{"FILE", "a dump in either format"}}, {"--only"}},
        {"diff", "diff FILE",
         "Compares the module with a dump and writes nothing: one line per object that differs, then the counts. "
         "Exit status 0 when none differs, 3 when some do.",
         {{"FILE", "a dump in either format"}}, {}},
        {"export", "export FILE --csv OUT",
         "Writes a recorded session (--record) as CSV: a column t, then one column per recorded quantity element.",
         {{"FILE", "a session file"}}, {"--csv"}},
        {"stream", "stream [--seconds S] [--out FILE]", "The bytes the module streams (sync data lines), verbatim.",
         {}, {"--seconds", "--out"}},
        {"probe", "probe KIND --out FILE [--delay N]", "One probe block saved in the probe window's format.",
         {{"KIND", "0..7 or acc-raw, gyro-raw, mag-raw, acc, gyro, mag, fft-acc, fft-gyro"}},
         {"--out", "--delay"}},
        {"calibrate", "calibrate gyro-accel|magnetometer|temperature [--samples FILE] [--json]",
         "Runs a calibration and follows it; for the magnetometer also the coach's judgement of the readings.",
         {{"WHICH", "gyro-accel, magnetometer or temperature"}},
         {"--samples", "--json"}},
        {"doctor", "doctor [--json]", "What stops a link on each port (or --port), and how to fix it.", {},
         {"--json"}},
    };
    return commands;
}

const char kGlobalOptions[] =
    "Global options, before or after the command: [--port PATH] [--baud N|auto] [--timeout MS] [--id N]\n"
    "  [--record FILE] [--udp HOST:PORT]\n"
    "Exit status: 0 success, 1 device failure, 2 usage error.";

// One command's help: its synopsis first, then what CLI11 lists.
class CommandHelp : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        std::string synopsis = name;
        for (const CommandSpec& c : Commands())
            if (app->get_name() == c.name) synopsis = c.synopsis;
        return "usage: tarvik-cli " + synopsis + "\n" + make_description(app) + make_positionals(app) +
               make_groups(app, mode) + "\n" + make_footer(app);
    }
};

// The values as given; checked after the parse, so that each refusal says
// what was wrong in the tool's own words.
struct RawOptions {
    std::map<std::string, std::string> values;
    std::map<std::string, CLI::Option*> positionals;  // by command and name
    std::map<std::string, bool> flags;                 // by command and name
};

}  // namespace

const char* CliUsage() {
    return "usage: tarvik-cli [--port PATH] [--baud N|auto] [--timeout MS] [--id N] COMMAND ...\n"
           "       tarvik-cli --help | -h                  this text\n"
           "       tarvik-cli COMMAND --help               the command's own options\n"
           "  ports [--json]                         serial ports found: path, tab, description\n"
           "  info                                   product, firmware, hardware, voltage, temperature, status\n"
           "  get OBJ [--type T] [--sub N] [--count N]\n"
           "  set OBJ VALUE [--type T]               prints the value the module echoed\n"
           "  watch OBJ [--type T] [--sub N] [--count N] [--interval MS]\n"
           "  dump [--format ini|json]               every configurable object\n"
           "  restore FILE [--only MNEMONIC[,...]]   write a dump (or those objects of it) back, flash-write,\n"
           "                                         verify\n"
           "  diff FILE                              compare the module with a dump; writes nothing\n"
           "  export FILE --csv OUT                  a recorded session as CSV\n"
           "  stream [--seconds S] [--out FILE]      the sync data lines, verbatim\n"
           "  probe KIND --out FILE [--delay N]      KIND 0..7 or acc-raw, gyro-raw, mag-raw, acc, gyro,\n"
           "                                         mag, fft-acc, fft-gyro\n"
           "  calibrate gyro-accel|magnetometer|temperature\n"
           "  calibrate magnetometer [--samples FILE] [--json]\n"
           "                                         also: the coach's judgement of the readings\n"
           "  doctor [--json]                        what stops a link on each port (or --port), and how to fix it\n"
           "Sessions: --record FILE records the command's exchanges (JSON Lines); --udp HOST:PORT sends\n"
           "each successful read as one JSON datagram.\n"
           "OBJ: hex (0x37), decimal or a mnemonic (sp, sd, ...). T: int8, int16, int32, float32.\n"
           "Exit status: 0 success, 1 device failure (for watch: any failed poll), 2 usage error\n"
           "(for diff also a bad file), 3 diff found differences.\n";
}

std::optional<CliOptions> ParseCliOptions(int argc, const char* const* argv, std::string* error) {
    auto fail = [&](const std::string& message) -> std::optional<CliOptions> {
        *error = message;
        return std::nullopt;
    };
    RawOptions raw;
    CLI::App app{"", "tarvik-cli"};
    app.set_help_flag();
    app.allow_extras();  // unknown options and commands are refused below, in our words
    app.require_subcommand(0, 1);  // one command; later words are its arguments (a file may be named "dump")
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    bool help = false;
    app.add_flag("-h,--help", help);
    std::map<std::string, CLI::Option*> globals;
    for (const char* name : {"--port", "--baud", "--timeout", "--id"})
        globals[name] = app.add_option(name, raw.values[name]);

    for (const char* name : {"--record", "--udp"}) globals[name] = app.add_option(name, raw.values[name]);

    auto formatter = std::make_shared<CommandHelp>();
    std::map<std::string, CLI::App*> subs;
    std::map<std::string, bool> subHelp;
    for (const CommandSpec& c : Commands()) {
        CLI::App* sub = app.add_subcommand(c.name, c.description);
        sub->set_help_flag();
        sub->allow_extras();
        sub->fallthrough();  // the global options may follow the command
        sub->formatter(formatter);
        sub->footer(kGlobalOptions);
        sub->add_flag("-h,--help", subHelp[c.name], "this text");
        for (const auto& [name, what] : c.positionals)
            raw.positionals[std::string(c.name) + " " + name] =
                sub->add_option(name, raw.values[std::string(c.name) + " " + name], what)->type_name("");
        for (const char* name : c.options)
            for (const OptionSpec& option : kOptions)
                if (std::string(name) == option.name) {
                    // For watch, --count is the number of polls.
                    const bool polls = std::string(c.name) == "watch" && std::string(name) == "--count";
                    if (!option.value) {
                        sub->add_flag(option.name, raw.flags[std::string(c.name) + option.name], option.help);
                        continue;
                    }
                    sub->add_option(option.name, raw.values[std::string(c.name) + option.name],
                                    polls ? "number of polls (default: until interrupted)" : option.help)
                        ->type_name(option.value);
                }
        subs[c.name] = sub;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Asking for help is never an error, wherever it stands.
        for (int i = 1; i < argc; ++i)
            if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
                CliOptions o;
                o.help = true;
                o.helpText = CliUsage();
                return o;
            }
        const std::string what = e.what();
        const size_t colon = what.find(':');
        if (e.get_name() == "ArgumentMismatch" && what.rfind("--", 0) == 0 && colon != std::string::npos)
            return fail("option " + what.substr(0, colon) + " needs a value");
        return fail(what);
    }

    const CLI::App* sub = nullptr;
    for (const auto& [name, s] : subs)
        if (s->parsed()) sub = s;
    if (sub && subHelp[sub->get_name()]) {
        CliOptions o;
        o.help = true;
        o.helpText = sub->help();
        return o;
    }
    if (help) {
        CliOptions o;
        o.help = true;
        o.helpText = CliUsage();
        return o;
    }
    for (const std::string& extra : app.remaining()) {
        if (extra.size() > 1 && extra[0] == '-')
            return fail("unknown option " + extra + (sub ? " for " + sub->get_name() : std::string()));
        if (!sub) return fail("unknown command " + extra);
    }
    if (!sub) return fail("no command");

    CliOptions o;
    o.command = sub->get_name();
    for (const CommandSpec& c : Commands())
        for (const auto& [name, what] : c.positionals)
            if (o.command == c.name && raw.positionals[o.command + " " + name]->count() > 0)
                o.args.push_back(raw.values[o.command + " " + name]);
    const size_t wanted = sub->get_options([](const CLI::Option* opt) { return opt->get_positional(); }).size();
    if (!app.remaining().empty() || o.args.size() != wanted) return fail("wrong number of arguments for " + o.command);

    // The options given, in the order of today's checks.
    auto given = [&](const std::string& name) { return globals.count(name) ? globals[name]->count() > 0 : false; };
    auto value = [&](const std::string& name) { return raw.values[name]; };
    if (given("--port")) {
        if (value("--port").empty()) return fail("empty port name");
        o.port = value("--port");
        o.portGiven = true;
    }
    if (given("--baud")) {
        const std::string v = value("--baud");
        o.baudGiven = true;
        if (v == "auto") o.baud = 0;
        else if (!ParseInt(v, 1, 4000000, &o.baud)) return fail("bad baud rate " + v);
    }
    if (given("--timeout") && !ParseInt(value("--timeout"), 1, 60000, &o.timeoutMs))
        return fail("bad time-out " + value("--timeout"));
    if (given("--id") && !ParseInt(value("--id"), 0, 255, &o.deviceId)) return fail("bad device id " + value("--id"));
    for (const char* name : {"--record", "--udp"}) {
        if (!given(name)) continue;
        if (value(name).empty()) return fail(std::string("empty ") + name + " value");
        if (o.command == "ports" || o.command == "doctor" || o.command == "export")
            return fail(std::string(name) + " needs a command that talks to the module, not " + o.command);
        (std::string(name) == "--record" ? o.record : o.udp) = value(name);
    }

    for (const CLI::Option* opt : sub->get_options()) {
        if (opt->get_positional() || opt->count() == 0 || opt->get_name() == "--help") continue;
        const std::string a = opt->get_name();
        const std::string v = raw.values[o.command + a];
        if (a == "--type") {
            if (v != "int8" && v != "int16" && v != "int32" && v != "float32") return fail("bad type " + v);
            o.type = v;
        } else if (a == "--sub") {
            if (!ParseInt(v, 0, 255, &o.sub)) return fail("bad sub-index " + v);
        } else if (a == "--count") {
            // For watch the number of polls; otherwise elements, and 61
            // are the most one reply frame can carry.
            const bool polls = o.command == "watch";
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
        } else if (a == "--csv") {
            if (v.empty()) return fail("empty CSV file name");
            o.csv = v;
        } else if (a == "--samples") {
            if (v.empty()) return fail("empty samples file name");
            o.samples = v;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--only") {
            // Names separated by commas; blanks around them are dropped.
            std::string name;
            for (size_t i = 0; i <= v.size(); ++i) {
                if (i < v.size() && v[i] != ',') {
                    if (v[i] != ' ') name += v[i];
                    continue;
                }
                if (name.empty()) return fail("empty name in --only " + v);
                o.only.push_back(name);
                name.clear();
            }
        } else if (a == "--delay") {
            if (!ParseInt(v, 1, 100, &o.delay)) return fail("bad delay " + v + " (1..100)");
        }
    }
    if (o.command == "probe" && o.out.empty()) return fail("probe needs --out FILE");
    if (o.command == "export" && o.csv.empty()) return fail("export needs --csv OUT");
    if (o.command == "calibrate" && o.args[0] != "gyro-accel" && o.args[0] != "magnetometer" &&
        o.args[0] != "temperature")
        return fail("unknown calibration " + o.args[0]);
    if (!o.samples.empty() && o.args[0] != "magnetometer") return fail("--samples is for calibrate magnetometer");
    if (o.json && o.command == "calibrate" && o.args[0] != "magnetometer")
        return fail("--json is for calibrate magnetometer");
    return o;
}
