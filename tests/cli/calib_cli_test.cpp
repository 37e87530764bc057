// tarvik-cli calibrate magnetometer: the CSV of --samples, and the command
// with the coach's lines and JSON against the simulator.
#include "cli/calibrate.h"
#include "cli/cli_options.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

using calib::Point3;

TEST(CalibCli, SamplesCsvHasAHeaderAndOneLinePerReading) {
    EXPECT_EQ(clicalib::SamplesCsv({{1.5, -2, 30.25}, {0, 0, 0}}), "x,y,z\n1.5000,-2.0000,30.2500\n0.0000,0.0000,0.0000\n");
}

TEST(CalibCli, SamplesFileAndJsonOnlyForTheMagnetometer) {
    std::string error;
    const char* magn[] = {"tarvik-cli", "calibrate", "magnetometer", "--samples", "s.csv"};
    const auto o = ParseCliOptions(5, magn, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->samples, "s.csv");
    const char* gyro[] = {"tarvik-cli", "calibrate", "gyro-accel", "--samples", "s.csv"};
    EXPECT_FALSE(ParseCliOptions(5, gyro, &error));
    const char* magnJson[] = {"tarvik-cli", "calibrate", "magnetometer", "--json"};
    ASSERT_TRUE(ParseCliOptions(4, magnJson, &error)) << error;
    EXPECT_TRUE(ParseCliOptions(4, magnJson, &error)->json);
    const char* gyroJson[] = {"tarvik-cli", "calibrate", "gyro-accel", "--json"};
    EXPECT_FALSE(ParseCliOptions(4, gyroJson, &error));
}

class CalibCliE2e : public ::testing::Test {
protected:
    ProgramResult Run(const std::vector<std::string>& simArgs, const std::string& extra = "--samples") {
        if (access((BinDir() + "/tarvik-sim").c_str(), X_OK) != 0) return {};
        const std::string link = dir.File("tty");
        if (!sim.Start(link, simArgs)) return {};
        std::vector<std::string> args = {BinDir() + "/tarvik-cli", "--port", link, "--baud", "115200", "calibrate",
                                         "magnetometer", extra};
        if (extra == "--samples") args.push_back(dir.File("s.csv"));
        return RunProgram(args, dir.Path(), 60);
    }
    CTempDir dir;
    CSimProcess sim;
};

TEST_F(CalibCliE2e, GoodRunSaysSoAndWritesTheReadings) {
    const ProgramResult r = Run({"--calibration-time", "magnetometer=6"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nGood calibration data.\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Module offset: 1"), std::string::npos) << r.out;  // about 18 uT
    const std::string csv = ReadAll(dir.File("s.csv"));
    const size_t at = r.out.find("Samples: ");
    ASSERT_NE(at, std::string::npos);
    const int samples = std::stoi(r.out.substr(at + 9));
    EXPECT_GE(samples, 30);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), samples + 1);
}

TEST_F(CalibCliE2e, FlatTurnsGiveThePoorVerdictAsJson) {
    const ProgramResult r = Run({"--calibration-time", "magnetometer=4", "--mag-turns", "flat"}, "--json");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("calibration failed"), std::string::npos) << r.err;
    ASSERT_TRUE(nlohmann::json::accept(r.out)) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["verdict"], "poor");
    EXPECT_EQ(j["reasons"], nlohmann::json::array({"too few directions covered (8 of 26)",
                                                   "the module reported a failed calibration"}));
    EXPECT_TRUE(j.contains("module_offset_ut"));
}

}  // namespace
