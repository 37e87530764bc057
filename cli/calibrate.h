#pragma once
// tarvik-cli calibrate magnetometer: runs the module's magnetometer
// calibration, collects the field readings while it runs (as the
// magnetometer view does, every 100 ms), and afterwards tells, beside the
// module's outcome and new parameters, how well the readings covered the
// directions and how well they fit an ellipsoid. The analysis and the
// formats are separate functions so that they are tested without a module.
#include "calib/ellipsoid_fit.h"

#include <functional>
#include <string>
#include <vector>

namespace clicalib {

constexpr int kSectors = 26;

struct SampleReport {
    size_t samples = 0;
    bool fitted = false;          // the readings determine an ellipsoid
    calib::EllipsoidFit fit{};    // valid when fitted
    int covered = 0;              // of kSectors directions about the centre
};

// The fit of the readings and the directions they cover about its centre
// (without a fit: about the readings' mean, each axis scaled by its spread).
SampleReport AnalyseSamples(const std::vector<calib::Point3>& samples);

// The report's lines: samples, coverage, fit (or why there is none).
std::string FormatReport(const SampleReport& report);

// The readings as CSV: a header line "x,y,z" and one line per reading in uT.
std::string SamplesCsv(const std::vector<calib::Point3>& samples);

// Runs the calibration on the connected module. samplesPath: where to write
// the CSV, empty for none. stopped: true once the user interrupted. Returns
// the exit status (0 success, 1 failure).
int CalibrateMagnetometer(const std::string& samplesPath, const std::function<bool()>& stopped);

}  // namespace clicalib
