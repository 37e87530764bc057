// tarvik-cli calibrate magnetometer: coverage and residual of the readings,
// the CSV of --samples, and the command against the simulator.
#include "cli/calibrate.h"
#include "cli/cli_options.h"
#include "tests/e2e/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <unistd.h>

namespace {

using calib::Point3;

// Readings spread evenly over an offset ellipsoid; `upper` keeps only z above the centre.
std::vector<Point3> Ellipsoid(int n, bool upperOnly = false) {
    std::vector<Point3> out;
    for (int i = 0; i < n; ++i) {
        const double u = std::acos(1 - 2 * (i + 0.5) / n), v = i * 2.399963;
        const Point3 p{18 + 54 * std::sin(u) * std::cos(v), -12 + 42 * std::sin(u) * std::sin(v), 25 + 49 * std::cos(u)};
        if (!upperOnly || p.z > 25) out.push_back(p);
    }
    return out;
}

TEST(CalibCli, FullEllipsoidCoversEveryDirectionWithNoResidual) {
    const auto r = clicalib::AnalyseSamples(Ellipsoid(400));
    ASSERT_TRUE(r.fitted);
    EXPECT_EQ(r.covered, 26);
    EXPECT_LT(r.fit.residual, 1e-9);
    EXPECT_NE(clicalib::FormatReport(r).find("coverage: 26 of 26 directions (100 %)"), std::string::npos);
}

TEST(CalibCli, HalfTurnedModuleMissesDirectionsAndNoiseShowsInTheResidual) {
    auto half = Ellipsoid(400, true);
    const auto r = clicalib::AnalyseSamples(half);
    EXPECT_LE(r.covered, 17);
    auto noisy = Ellipsoid(400);
    for (size_t i = 0; i < noisy.size(); ++i) noisy[i].x += (i % 2 ? 2.0 : -2.0);
    const auto n = clicalib::AnalyseSamples(noisy);
    ASSERT_TRUE(n.fitted);
    EXPECT_GT(n.fit.residual, 0.005);
}

TEST(CalibCli, ReadingsInAPlaneHaveNoFitButACoverage) {
    std::vector<Point3> ring;
    for (int i = 0; i < 100; ++i) ring.push_back({std::cos(i * 0.1) * 40, std::sin(i * 0.1) * 40, 5});
    const auto r = clicalib::AnalyseSamples(ring);
    EXPECT_FALSE(r.fitted);
    EXPECT_EQ(r.covered, 8);  // the directions around the equator
    EXPECT_NE(clicalib::FormatReport(r).find("fit: none"), std::string::npos);
}

TEST(CalibCli, SamplesCsvHasAHeaderAndOneLinePerReading) {
    EXPECT_EQ(clicalib::SamplesCsv({{1.5, -2, 30.25}, {0, 0, 0}}), "x,y,z\n1.5000,-2.0000,30.2500\n0.0000,0.0000,0.0000\n");
}

TEST(CalibCli, SamplesFileOnlyForTheMagnetometer) {
    std::string error;
    const char* magn[] = {"tarvik-cli", "calibrate", "magnetometer", "--samples", "s.csv"};
    const auto o = ParseCliOptions(5, magn, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->samples, "s.csv");
    const char* gyro[] = {"tarvik-cli", "calibrate", "gyro-accel", "--samples", "s.csv"};
    EXPECT_FALSE(ParseCliOptions(5, gyro, &error));
}

class CalibCliE2e : public ::testing::Test {
protected:
    ProgramResult Run(const std::vector<std::string>& simArgs) {
        if (access((BinDir() + "/tarvik-sim").c_str(), X_OK) != 0) return {};
        const std::string link = dir.File("tty");
        if (!sim.Start(link, simArgs)) return {};
        return RunProgram({BinDir() + "/tarvik-cli", "--port", link, "--baud", "115200", "calibrate", "magnetometer",
                           "--samples", dir.File("s.csv")},
                          dir.Path(), 60);
    }
    CTempDir dir;
    CSimProcess sim;
};

TEST_F(CalibCliE2e, ReportsCoverageResidualAndWritesTheReadings) {
    const ProgramResult r = Run({"--calibration-time", "magnetometer=3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("coverage: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fit residual: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("module bias: 1"), std::string::npos) << r.out;  // about 18 uT
    const std::string csv = ReadAll(dir.File("s.csv"));
    const size_t at = r.out.find("samples: ");
    ASSERT_NE(at, std::string::npos);
    const int samples = std::stoi(r.out.substr(at + 9));
    EXPECT_GE(samples, 10);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), samples + 1);
}

TEST_F(CalibCliE2e, FailedCalibrationStillReportsTheReadings) {
    const ProgramResult r = Run({"--calibration-time", "magnetometer=2", "--hold-euler", "0,0,0"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("calibration failed"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("coverage: "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("module bias"), std::string::npos);
}

}  // namespace
