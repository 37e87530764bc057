#pragma once
// The magnetometer calibration coach: from the readings a calibration run has
// produced so far (object 0x35, uT), which directions are covered and which
// to turn to next, the fitted hard-iron centre and per-axis scale, the spread
// of the field strength before and after that correction, and a verdict with
// its reasons. Plain C++: the magnetometer view calls it about once a second
// with the growing list, tarvik-cli once at the end of a run. Every call is
// linear in the number of readings and never yields nan: what cannot be
// computed is absent.
#include "calib/ellipsoid_fit.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace calib {

// The thresholds of the verdict.
constexpr size_t kCoachMinSamples = 30;
constexpr int kCoachMinDirections = 18;
constexpr double kCoachMaxSpreadPercent = 5.0;     // after the correction
constexpr double kEarthFieldMinUt = 20, kEarthFieldMaxUt = 70;

// What the module says about the run, as far as the caller knows it.
struct MagCoachModule {
    bool ended = false;         // the module ended the calibration: the verdict is due whatever the count
    bool reportedFailure = false;  // its status word shows the failed-calibration bit
    std::optional<Point3> offset;  // its bias table's magnetometer elements, uT, once read
};

enum class MagCoachModel {
    None,         // no centre: the readings do not determine one
    Sphere,       // a centre and one radius (the readings do not determine three)
    AxisAligned,  // the module's own model: a centre and a scale per axis
};

enum class MagCoachReason { TooFewSamples, TooFewDirections, Interference, FieldOutOfRange, ModuleFailed };

struct MagCoachReport {
    size_t samples = 0;
    // The directions about `offset`, each axis divided by its semi-axis.
    int covered = 0;                                   // of kDirectionCount
    std::array<bool, kDirectionCount> coveredDirections{};  // indexed as DirectionOf
    // The correction: corrected = (reading - offset) / scale, per axis.
    MagCoachModel model = MagCoachModel::None;
    Point3 offset;        // uT: the fitted centre; with model None the readings' mean (not an offset to show)
    Point3 scale{1, 1, 1};  // semi-axis / mean semi-axis
    double meanRadius = 0;  // uT: the mean semi-axis; with model None the readings' largest deviation from their mean
    std::optional<double> fieldUt;                     // mean strength after the correction
    std::optional<double> spreadBeforePercent;         // stddev / mean of |reading|
    std::optional<double> spreadAfterPercent;          // the same after the correction
    std::optional<double> spreadAfterGeneralPercent;   // after a general (cross-axis) ellipsoid
    // The verdict: due once kCoachMinSamples readings exist or the module ended.
    bool judged = false;
    bool good = false;
    std::vector<MagCoachReason> reasons;               // in the order of the enum
    std::vector<int> next;                             // one or two missing directions (DirectionOf)
    std::optional<Point3> moduleOffset;                // as given
};

// The coach's judgement of the readings so far.
MagCoachReport CoachMagnetometer(const std::vector<Point3>& readings, const MagCoachModule& module = {});

// The report's lines, with the unit "µT" (Utf8, for the window) or "uT"
// (Ascii, for the command line). Numbers with one decimal in the C locale.
enum class MagCoachText { Utf8, Ascii };
struct MagCoachLines {
    std::vector<std::string> values;   // "Samples: N", "Coverage: N of 26 directions", then, once
                                       // judged, field strength, offset and spreads as far as known;
                                       // "Module offset: ..." whenever it is known
    std::string crossAxis;             // a note when a general ellipsoid would fit much better, or empty
    std::string verdict;               // "Good calibration data." / "Poor calibration data:", or empty
    std::vector<std::string> reasons;  // one line per reason
    std::string next;                  // "Next: point the module's ...", or empty (also once good)
    std::vector<std::string> All() const;  // everything above in this order, empty lines left out
};
MagCoachLines CoachLines(const MagCoachReport& report, MagCoachText text);

// The point in direction `direction` (DirectionOf) on the fitted surface
// scaled by `factor` about the report's centre: where the window draws that
// direction's marker, in uT. The centre itself while the report has no radius.
Point3 DirectionPoint(const MagCoachReport& report, int direction, double factor);

// One reason's line ("too few samples (12)", ...).
std::string ReasonText(const MagCoachReport& report, MagCoachReason reason, MagCoachText text);

// A direction in words: "+Z axis", "+X and -Y axes", "+X, +Y and -Z axes".
std::string DirectionWords(int direction);

// The report as one JSON object (ASCII): samples, covered, field_ut, offset_ut,
// scale, spread_before_percent, spread_after_percent, verdict, reasons and,
// when known, module_offset_ut; a value that cannot be computed is null.
std::string CoachJson(const MagCoachReport& report);

}  // namespace calib
