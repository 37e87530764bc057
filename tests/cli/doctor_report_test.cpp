// The doctor's report beyond its lines: tarvik-cli doctor --json and ports
// (--json), and the search of the other ports that the window asks for.
#include "cli/doctor.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Everything a call wrote into a temporary file.
template <class F> std::string Captured(F write) {
    std::FILE* f = std::tmpfile();
    write(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    std::fclose(f);
    return text;
}

TEST(DoctorJson, AMissingPortIsAProblemWithItsFixAndNoRate) {
    CTempDir dir;
    const ProgramResult r = RunProgram({BinDir() + "/tarvik-cli", "--port", dir.File("ttyUSB9"), "doctor", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    const json j = json::parse(r.out);
    ASSERT_EQ(j["ports"].size(), 1u) << r.out;
    const json& port = j["ports"][0];
    EXPECT_EQ(port["port"], dir.File("ttyUSB9"));
    ASSERT_FALSE(port["findings"].empty());
    EXPECT_EQ(port["findings"][0]["ok"], false);
    EXPECT_TRUE(Has(port["findings"][0]["problem"].get<std::string>(), "the device is missing"));
    EXPECT_TRUE(Has(port["findings"][0]["fix"].get<std::string>(), "plug the module in"));
    EXPECT_TRUE(port["rates"].empty());
    EXPECT_TRUE(j["services"].is_array() && !j["services"].empty());
    EXPECT_EQ(j["result"]["module"], false);
}

TEST(DoctorJson, TheRatesTriedSayWhatAnswered) {
    CTempDir dir;
    CSimProcess sim;
    if (!sim.Start(dir.File("tty"), {"--no-pace", "--baud", "57600", "--firmware", "245"})) GTEST_SKIP() << sim.Error();
    const ProgramResult r =
        RunProgram({BinDir() + "/tarvik-cli", "--port", dir.File("tty"), "--timeout", "300", "doctor", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    const json j = json::parse(r.out);
    const json& rates = j["ports"][0]["rates"];
    ASSERT_EQ(rates.size(), 4u) << r.out;  // 9600, 19200, 38400, then the module's 57600
    EXPECT_EQ(rates[0]["rate"], 9600);
    EXPECT_EQ(rates[0]["answer"], "nothing");
    EXPECT_EQ(rates[3]["rate"], 57600);
    EXPECT_EQ(rates[3]["answer"], "module");
    EXPECT_EQ(rates[3]["product"], 1011);
    EXPECT_EQ(rates[3]["firmware"], "2.45");
    EXPECT_EQ(j["result"]["port"], dir.File("tty"));
    EXPECT_EQ(j["result"]["rate"], 57600);
}

// A fake /dev and sysfs in which ttyUSB7 is a driver-backed port whose node
// leads to the simulator.
TEST(DoctorSearch, FindsTheModuleOnAnotherPortWhenTheNamedOneHasNone) {
    CTempDir dir;
    CSimProcess sim;
    if (!sim.Start(dir.File("tty"), {"--no-pace"})) GTEST_SKIP() << sim.Error();
    DoctorRoots roots;
    roots.sysClassTty = dir.File("class/tty");
    roots.dev = dir.File("dev");
    roots.proc = dir.File("proc");  // empty: no services, no holders
    fs::create_directories(dir.File("class/tty/ttyUSB7/device/driver"));
    fs::create_directories(roots.dev);
    fs::create_symlink(dir.File("tty"), roots.dev + "/ttyUSB7");
    DoctorRequest q;
    q.port = dir.File("ttyUSB9");
    q.timeoutMs = 300;
    q.searchOtherPorts = true;
    std::vector<std::string> steps;
    DoctorProgress progress;
    progress.step = [&steps](const std::string& s) { steps.push_back(s); };
    const DoctorReport report = Diagnose(q, roots, progress);
    const std::string other = roots.dev + "/ttyUSB7";
    EXPECT_EQ(report.modulePort, other);
    EXPECT_EQ(report.moduleRate, 115200u);
    std::string text;
    for (const DoctorLine& l : report.lines) text += l.text + "\n";
    EXPECT_TRUE(Has(text, "  " + other + " at 115200 bit/s: a module answered: product 1011")) << text;
    EXPECT_TRUE(Has(text, "result: a module answered on " + other)) << text;
    EXPECT_NE(std::find(steps.begin(), steps.end(), "trying " + other + " at 115200 bit/s"), steps.end());
}

TEST(Ports, EachPathIsFollowedByATabAndItsDescription) {
    CTempDir dir;
    const fs::path root = dir.Path();
    const fs::path usb = root / "sys/devices/usb1/1-2";
    fs::create_directories(usb / "1-2:1.0/ttyUSB0/driver");
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "manufacturer") << "FTDI\n";
    std::ofstream(usb / "product") << "FT232R USB UART\n";
    fs::create_directories(root / "sys/class/tty/ttyUSB0");
    fs::create_directory_symlink(usb / "1-2:1.0/ttyUSB0", root / "sys/class/tty/ttyUSB0/device");
    const std::string path = (root / "dev/ttyUSB0").string();
    EXPECT_EQ(Captured([&](std::FILE* f) { RunPorts(false, f, root.string()); }), path + "\tFTDI FT232R USB UART\n");
    const json j = json::parse(Captured([&](std::FILE* f) { RunPorts(true, f, root.string()); }));
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["path"], path);
    EXPECT_EQ(j[0]["description"], "FTDI FT232R USB UART");
}

TEST(Ports, TheToolTakesJson) {
    const ProgramResult r = RunProgram({BinDir() + "/tarvik-cli", "ports", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(json::parse(r.out).is_array()) << r.out;
}

}  // namespace
