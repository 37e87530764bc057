// tarvik-cli against tarvik-sim: each test starts the simulator on a link in a
// temporary folder and runs the tool as a child process.
#include "device/serial_com.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliE2e : public ::testing::Test {
protected:
    // Starts the simulator.
    void StartSim(std::vector<std::string> extra = {"--no-pace"}) {
        if (!sim.Start(Link(), extra)) FAIL() << sim.Error();
    }
    std::string Link() const { return dir.File("tty"); }
    ProgramResult Cli(std::vector<std::string> args, bool withBaud = true, double timeoutS = 60,
                      double interruptAfterS = -1) {
        // A generous time-out: a busy test machine can make a 30 ms exchange
        // miss its deadline. Tests of the time-out itself give their own.
        std::vector<std::string> argv = {BinDir() + "/tarvik-cli", "--port", Link(), "--timeout", "300"};
        if (withBaud) {
            argv.push_back("--baud");
            argv.push_back("115200");
        }
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, dir.Path(), timeoutS, interruptAfterS);
    }
    CTempDir dir;
    CSimProcess sim;
};

TEST_F(CliE2e, ConnectsAtOneRateAndByAutoDetection) {
    StartSim();
    if (IsSkipped()) return;
    ProgramResult info = Cli({"info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("product: 1011 Tarvik (KV-TQM-v1)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("firmware: "), std::string::npos);
    EXPECT_NE(info.out.find("status: 0x"), std::string::npos);

    // The simulator answers at 115200 only: the first four rates fail.
    auto start = std::chrono::steady_clock::now();
    ProgramResult autoDetect = Cli({"--baud", "auto", "get", "0x02"}, false);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(autoDetect.status, 0) << autoDetect.err;
    EXPECT_EQ(autoDetect.out, "1011\n");
    // Four failed attempts cost at least their two 33 ms waits each.
    EXPECT_GT(seconds, 4 * 0.066);

    // A wrong fixed rate is a device failure with one line on stderr.
    ProgramResult wrong = Cli({"--baud", "9600", "get", "0x02"}, false);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(Lines(wrong.err).size(), 1u) << wrong.err;
}

TEST_F(CliE2e, InfoNamesTheRaisedStatusBits) {
    StartSim({"--no-pace", "--status-bits", "220000"});
    if (IsSkipped()) return;
    ProgramResult r = Cli({"info"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Voltage exceeds rated range, Earth's magnetic field is interfered."), std::string::npos)
        << r.out;
}

TEST_F(CliE2e, TakesPortAndRateFromTheSettingsFileWithoutWritingIt) {
    StartSim();
    if (IsSkipped()) return;
    const std::string settings = "[Property]\r\ncomPort=" + Link() + "\r\ncomBaudrate=115200\r\n";
    std::ofstream(dir.File("TARVIK_UI.ini"), std::ios::binary) << settings;
    ProgramResult r = RunProgram({BinDir() + "/tarvik-cli", "get", "0x02"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1011\n");
    EXPECT_EQ(ReadAll(dir.File("TARVIK_UI.ini")), settings);
}

TEST_F(CliE2e, RefusesAnotherProduct) {
    StartSim({"--no-pace", "--product", "1010"});
    if (IsSkipped()) return;
    ProgramResult r = Cli({"get", "0x02"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("no connection"), std::string::npos) << r.err;
    ProgramResult a = Cli({"--baud", "auto", "info"}, false);
    EXPECT_EQ(a.status, 1);
}

TEST_F(CliE2e, GetAndSetRoundTrips) {
    StartSim();
    if (IsSkipped()) return;
    ProgramResult set = Cli({"set", "sp", "250"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "250\n");
    EXPECT_EQ(Cli({"get", "sp"}).out, "250\n");
    EXPECT_EQ(Cli({"get", "0x1f"}).out, "250\n");
    EXPECT_EQ(Cli({"get", "31"}).out, "250\n");
    // Another type: the reply is converted to the type asked for.
    EXPECT_EQ(Cli({"get", "sp", "--type", "float32"}).out, "250\n");
    EXPECT_EQ(Cli({"get", "sp", "--type", "int8"}).out, "-6\n");   // 250 cut to 8 bits

    // A float object keeps "%.9g" precision.
    ProgramResult f = Cli({"set", "dt", "1.25"});
    ASSERT_EQ(f.status, 0) << f.err;
    EXPECT_EQ(f.out, "1.25\n");

    // Three floats on one line; --count and --sub.
    ProgramResult euler = Cli({"get", "0x37"});
    ASSERT_EQ(euler.status, 0) << euler.err;
    EXPECT_EQ(Lines(euler.out).size(), 1u);
    std::stringstream values(euler.out);
    double v;
    int n = 0;
    while (values >> v) ++n;
    EXPECT_EQ(n, 3) << euler.out;
    ProgramResult bias = Cli({"get", "0x46", "--count", "4", "--sub", "2"});
    EXPECT_EQ(bias.status, 0) << bias.err;

    // The module limits the sync period; the echo shows what it kept.
    ProgramResult clamp = Cli({"set", "sp", "70000"});
    ASSERT_EQ(clamp.status, 0) << clamp.err;
    int echoed = std::atoi(clamp.out.c_str());
    EXPECT_GE(echoed, 1);
    EXPECT_LE(echoed, 60000);
    EXPECT_EQ(Cli({"get", "sp"}).out, clamp.out);
}

TEST_F(CliE2e, WatchPollsForACountOrUntilInterrupted) {
    StartSim();
    if (IsSkipped()) return;
    ProgramResult counted = Cli({"watch", "0x37", "--count", "3", "--interval", "20"});
    ASSERT_EQ(counted.status, 0) << counted.err;
    auto lines = Lines(counted.out);
    ASSERT_EQ(lines.size(), 3u) << counted.out;
    for (const std::string& l : lines) EXPECT_EQ(std::count(l.begin(), l.end(), ' '), 2) << l;

    // SIGINT ends an endless watch cleanly, with whole lines written.
    ProgramResult endless = Cli({"watch", "sp", "--interval", "50"}, true, 30, 1.5);
    EXPECT_EQ(endless.status, 0) << endless.err;
    EXPECT_GE(Lines(endless.out).size(), 3u);
    EXPECT_EQ(endless.out.back(), '\n');
}

TEST_F(CliE2e, UsageErrorsExitTwoWithoutTouchingTheModule) {
    // No simulator needed: none of these may reach a connect.
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"get"},
        {"get", "nosuchmnemonic"},
        {"get", "0x37", "--type", "double"},
        {"get", "0x37", "--count", "0"},
        {"get", "0x37", "--count", "62"},
        {"set", "sp"},
        {"set", "sp", "abc"},
        {"set", "sp", "300", "--type", "int8"},
        {"set", "sp", "1", "--sub", "2"},
        {"probe", "acc-raw"},
        {"probe", "nine", "--out", "x.csv"},
        {"calibrate", "everything"},
        {"dump", "--format", "xml"},
        {"--baud", "fast", "info"},
        {"--timeout"},
    };
    for (const auto& c : cases) {
        ProgramResult r = Cli(c);
        std::string joined;
        for (const auto& a : c) joined += a + " ";
        EXPECT_EQ(r.status, 2) << joined << r.err;
        EXPECT_NE(r.err.find("usage: tarvik-cli"), std::string::npos) << joined;
    }
}

TEST_F(CliE2e, HelpPrintsTheUsageAndExitsZero) {
    for (const char* flag : {"--help", "-h"}) {
        ProgramResult r = RunProgram({BinDir() + "/tarvik-cli", flag}, dir.Path());
        EXPECT_EQ(r.status, 0) << flag << r.err;
        EXPECT_EQ(r.out.rfind("usage: tarvik-cli [--port PATH]", 0), 0u) << flag << r.out;
    }
}

TEST_F(CliE2e, CommandHelpNamesTheCommandsOwnOptions) {
    ProgramResult r = RunProgram({BinDir() + "/tarvik-cli", "get", "--help"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("usage: tarvik-cli get OBJ", 0), 0u) << r.out;
    for (const char* option : {"--type T", "--sub N", "--count N"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option << "\n" << r.out;
    EXPECT_EQ(r.out.find("--interval"), std::string::npos) << r.out;
}

TEST_F(CliE2e, FailedCallsNameTheirReason) {
    StartSim({"--no-pace", "--drop-request", "0x37/2"});
    if (IsSkipped()) return;
    ProgramResult get = Cli({"get", "0x37"});
    EXPECT_EQ(get.status, 1);
    EXPECT_EQ(get.err, "tarvik-cli: get 0x37 failed: no reply\n");

    // The first poll gets no reply; the next falls into the back-off.
    ProgramResult r = Cli({"watch", "0x37", "--count", "3", "--interval", "600"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" of 3 polls failed"), std::string::npos) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[0], "error: no reply");
    EXPECT_EQ(lines[1], "error: waiting after a failure");
}

TEST_F(CliE2e, AFailedOpenNamesTheReason) {
    ProgramResult missing = RunProgram(
        {BinDir() + "/tarvik-cli", "--port", dir.File("nothing"), "--baud", "115200", "get", "0x02"}, dir.Path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no such port " + dir.File("nothing")), std::string::npos) << missing.err;
    StartSim();
    if (IsSkipped()) return;
    CSerialCOM holder(Link().c_str(), 115200);
    ASSERT_TRUE(holder.Open());
    ProgramResult busy = Cli({"get", "0x02"});
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.err.find("in use by another program"), std::string::npos) << busy.err;
}

// A port that opens but has no module says what the identification got.
TEST_F(CliE2e, APortWithoutTheModuleNamesWhatAnswered) {
    StartSim({"--no-pace", "--corrupt-checksum", "1"});
    ProgramResult corrupt = Cli({"get", "0x02"});
    EXPECT_EQ(corrupt.status, 1);
    EXPECT_NE(corrupt.err.find("no connection to the module on " + Link() + " at 115200 bit/s: bad checksum"),
              std::string::npos) << corrupt.err;
    sim.Stop();
    StartSim({"--no-pace", "--product", "999"});
    ProgramResult other = Cli({"get", "0x02"});
    EXPECT_NE(other.err.find("at 115200 bit/s: product 999 answered"), std::string::npos) << other.err;
}

// Auto-detection closes and reopens the port for every rate; a normal user
// (root ignores the exclusive flag) must find it free each time.
TEST_F(CliE2e, AutoDetectionReopensThePortForANormalUser) {
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (access("/usr/bin/setpriv", X_OK) != 0 ||
            std::system("/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups -- true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "setpriv cannot switch to an unprivileged user here; not tested as a normal user";
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    }
    StartSim();
    if (IsSkipped()) return;
    char* tty = realpath(Link().c_str(), nullptr);
    ASSERT_NE(tty, nullptr);
    ASSERT_EQ(chmod(tty, 0666), 0);
    free(tty);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    prefix.insert(prefix.end(), {BinDir() + "/tarvik-cli", "--port", Link(), "--baud", "auto", "get", "0x02"});
    ProgramResult r = RunProgram(prefix, "/");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1011\n");
}

// A by-id sized path (the link in a folder with a long name) connects.
TEST_F(CliE2e, ALongPortPathConnects) {
    const std::string folder = dir.File("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0-" + std::string(60, 'x'));
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    CSimProcess s;
    if (!s.Start(folder + "/tty", {"--no-pace"})) FAIL() << s.Error();
    ProgramResult r =
        RunProgram({BinDir() + "/tarvik-cli", "--port", folder + "/tty", "--baud", "115200", "get", "0x02"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1011\n");
}

TEST_F(CliE2e, DumpAndRestoreBothFormats) {
    StartSim();
    if (IsSkipped()) return;
    ASSERT_EQ(Cli({"set", "sp", "120"}).status, 0);
    ProgramResult ini = Cli({"dump"});
    ASSERT_EQ(ini.status, 0) << ini.err;
    EXPECT_NE(ini.out.find("sp = 0x1f, 120"), std::string::npos) << ini.out;
    ProgramResult json = Cli({"dump", "--format", "json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("{\"mnemonic\": \"sp\", \"index\": \"0x1f\", \"value\": 120}"), std::string::npos)
        << json.out;
    std::ofstream(dir.File("dump.ini")) << ini.out;
    std::ofstream(dir.File("dump.json")) << json.out;

    ASSERT_EQ(Cli({"set", "sp", "777"}).status, 0);
    ProgramResult restore = Cli({"restore", dir.File("dump.ini")});
    EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
    EXPECT_EQ(Cli({"get", "sp"}).out, "120\n");

    ASSERT_EQ(Cli({"set", "sp", "778"}).status, 0);
    restore = Cli({"restore", dir.File("dump.json")});
    EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
    EXPECT_EQ(Cli({"get", "sp"}).out, "120\n");

    // A file naming an object that is not configurable writes nothing.
    std::ofstream(dir.File("bad.ini")) << "[objects]\nsp = 0x1f, 555\nx = 0x37, 1\n";
    EXPECT_EQ(Cli({"restore", dir.File("bad.ini")}).status, 1);
    EXPECT_EQ(Cli({"get", "sp"}).out, "120\n");
}

TEST_F(CliE2e, StreamsSyncLinesToAFile) {
    StartSim();
    if (IsSkipped()) return;
    ASSERT_EQ(Cli({"set", "so", "1"}).status, 0);
    ASSERT_EQ(Cli({"set", "sd", "0x41"}).status, 0);
    // A 100 ms period: the connect of "stream" shares the line with the
    // stream, and a reply must come within the receive budget of 253 bytes
    // even on a slow (sanitizer) build.
    ASSERT_EQ(Cli({"set", "sp", "100"}).status, 0);
    ProgramResult r = Cli({"stream", "--seconds", "2", "--out", dir.File("sync.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = ReadAll(dir.File("sync.txt"));
    auto lines = Lines(text);
    EXPECT_GE(lines.size(), 10u) << text;
    EXPECT_NE(text.find("\r\n"), std::string::npos);
}

TEST_F(CliE2e, ProbeWritesTheProbeWindowFormat) {
    StartSim();
    if (IsSkipped()) return;
    ProgramResult raw = Cli({"probe", "acc-raw", "--out", dir.File("raw.csv")});
    ASSERT_EQ(raw.status, 0) << raw.err;
    std::string text = ReadAll(dir.File("raw.csv"));
    auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 256u);
    for (const std::string& l : lines) {
        ASSERT_EQ(l.back(), '\r');                 // CR LF line ends
        ASSERT_EQ(l.size(), 3u * 10 + 1) << l;     // three "%8d, " fields
        ASSERT_EQ(l.substr(l.size() - 3), ", \r");
    }

    ProgramResult fft = Cli({"probe", "7", "--out", dir.File("fft.csv"), "--delay", "2"});
    ASSERT_EQ(fft.status, 0) << fft.err;
    lines = Lines(ReadAll(dir.File("fft.csv")));
    ASSERT_EQ(lines.size(), 330u);
    int commas = 0;
    for (char c : lines[0]) commas += c == ',';
    EXPECT_EQ(commas, 3);
    EXPECT_NE(lines[0].find('.'), std::string::npos);   // "%8.3f, "
}

TEST_F(CliE2e, CalibratesGyroAndAccelerometer) {
    StartSim({});   // paced: the calibration takes its time
    if (IsSkipped()) return;
    auto start = std::chrono::steady_clock::now();
    ProgramResult r = Cli({"calibrate", "gyro-accel"}, true, 90);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("calibrating gyro-accel"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("calibration success"), std::string::npos) << r.err;
    EXPECT_GT(seconds, 2.0);
}

TEST_F(CliE2e, FaultInjectionThroughTheTool) {
    {
        CSimProcess s;
        ASSERT_TRUE(s.Start(Link(), {"--no-pace", "--noise-before-stx", "1", "--split-replies", "3"})) << s.Error();
        ProgramResult r = Cli({"get", "0x37"});
        EXPECT_EQ(r.status, 0) << r.err;
    }
    {
        CSimProcess s;
        ASSERT_TRUE(s.Start(Link(), {"--no-pace", "--delay-replies", "100"})) << s.Error();
        EXPECT_EQ(Cli({"--timeout", "30", "get", "0x02"}).status, 1);
        ProgramResult patient = Cli({"--timeout", "400", "get", "0x02"});
        EXPECT_EQ(patient.status, 0) << patient.err;
        EXPECT_EQ(patient.out, "1011\n");
    }
    {
        CSimProcess s;
        ASSERT_TRUE(s.Start(Link(), {"--no-pace", "--corrupt-checksum", "1"})) << s.Error();
        ProgramResult r = Cli({"get", "0x02"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
}

}  // namespace
