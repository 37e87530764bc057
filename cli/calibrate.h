#pragma once
// tarvik-cli calibrate magnetometer: runs the module's magnetometer
// calibration, collects the field readings while it runs (as the
// magnetometer view does, every 100 ms), and afterwards prints the
// calibration coach's judgement of them (calib/mag_coach.h) beside the
// module's outcome and its new offset.
#include "calib/mag_coach.h"

#include <functional>
#include <string>
#include <vector>

namespace clicalib {

// The readings as CSV: a header line "x,y,z" and one line per reading in uT.
std::string SamplesCsv(const std::vector<calib::Point3>& samples);

// Runs the calibration on the connected module and prints the coach's lines
// (ASCII) at the end, or with json its JSON object instead. samplesPath: where
// to write the CSV, empty for none. stopped: true once the user interrupted.
// Returns the exit status (0 success, 1 failure).
int CalibrateMagnetometer(const std::string& samplesPath, bool json, const std::function<bool()>& stopped);

}  // namespace clicalib
