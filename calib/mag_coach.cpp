#include "calib/mag_coach.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace calib {

namespace {

// A general ellipsoid is worth a note when it brings the spread down by this
// many percentage points more than the module's model.
constexpr double kCrossAxisNotePoints = 1.0;

// Fixed-point text with `decimals` decimals; to_chars ignores the locale.
// A value that rounds to zero has no sign.
std::string Fixed(double v, int decimals) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "?";
    std::string s(text, end);
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

// The value as its text shows it, so that a threshold and the text agree.
double Rounded(double v, int decimals) {
    const std::string s = Fixed(v, decimals);
    double out = v;
    std::from_chars(s.data(), s.data() + s.size(), out);
    return out;
}

// Standard deviation over mean in percent; empty when the mean is not above 0.
std::optional<double> SpreadPercent(const std::vector<double>& strengths) {
    if (strengths.empty()) return std::nullopt;
    double sum = 0;
    for (double s : strengths) sum += s;
    const double mean = sum / static_cast<double>(strengths.size());
    if (!(mean > 0) || !std::isfinite(mean)) return std::nullopt;
    double sq = 0;
    for (double s : strengths) sq += (s - mean) * (s - mean);
    const double percent = std::sqrt(sq / static_cast<double>(strengths.size())) / mean * 100;
    if (!std::isfinite(percent)) return std::nullopt;
    return percent;
}

double Length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

double Dot(int a, int b) {
    const auto u = DirectionOf(a), v = DirectionOf(b);
    return (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) /
           (Length(u[0], u[1], u[2]) * Length(v[0], v[1], v[2]));
}

// Directions next to each other on the cube (within 60 degrees).
bool Neighbours(int a, int b) { return a != b && Dot(a, b) > 0.5 + 1e-9; }

// One or two missing directions to turn to: the one in the middle of the
// largest gap (most missing neighbours; faces before edges before corners),
// then the best one away from it.
std::vector<int> NextDirections(const std::array<bool, kDirectionCount>& covered) {
    auto score = [&](int i) {
        int missing = 0;
        for (int j = 0; j < kDirectionCount; ++j) missing += Neighbours(i, j) && !covered[size_t(j)];
        return missing;
    };
    std::vector<int> out;
    for (int round = 0; round < 2; ++round) {
        int best = -1, bestScore = -1;
        for (int i = 0; i < kDirectionCount; ++i) {
            if (covered[size_t(i)]) continue;
            if (std::find(out.begin(), out.end(), i) != out.end()) continue;
            if (!out.empty() && Neighbours(out[0], i)) continue;
            const int s = score(i);
            if (s > bestScore) best = i, bestScore = s;  // ties: the earlier, a face before an edge
        }
        if (best < 0) break;
        out.push_back(best);
    }
    return out;
}

const char* Unit(MagCoachText text) { return text == MagCoachText::Utf8 ? "\xC2\xB5T" : "uT"; }

std::string Triple(const Point3& p, MagCoachText text) {
    return Fixed(p.x, 1) + ", " + Fixed(p.y, 1) + ", " + Fixed(p.z, 1) + " " + Unit(text);
}

}  // namespace

MagCoachReport CoachMagnetometer(const std::vector<Point3>& readings, const MagCoachModule& module) {
    MagCoachReport r;
    r.samples = readings.size();
    r.moduleOffset = module.offset;

    std::vector<double> strengths;
    strengths.reserve(readings.size());
    for (const Point3& p : readings) strengths.push_back(Length(p.x, p.y, p.z));
    r.spreadBeforePercent = SpreadPercent(strengths);

    std::optional<EllipsoidFit> fit = FitAxisAlignedEllipsoid(readings);
    r.model = MagCoachModel::AxisAligned;
    if (!fit) {
        fit = FitSphere(readings);
        r.model = MagCoachModel::Sphere;
    }
    if (fit) {
        r.offset = fit->centre;
        r.meanRadius = (fit->radii.x + fit->radii.y + fit->radii.z) / 3;
        r.scale = {fit->radii.x / r.meanRadius, fit->radii.y / r.meanRadius, fit->radii.z / r.meanRadius};
        r.coveredDirections = CoveredDirections(readings, fit->centre, fit->radii);
        strengths.clear();
        for (const Point3& p : readings)
            strengths.push_back(Length((p.x - r.offset.x) / r.scale.x, (p.y - r.offset.y) / r.scale.y,
                                       (p.z - r.offset.z) / r.scale.z));
        double sum = 0;
        for (double s : strengths) sum += s;
        r.fieldUt = sum / static_cast<double>(strengths.size());
        r.spreadAfterPercent = SpreadPercent(strengths);
    } else {
        // No centre: the directions about the readings' mean, all axes by
        // one measure, so that a flat ring stays flat.
        r.model = MagCoachModel::None;
        Point3 mean;
        for (const Point3& p : readings) mean = {mean.x + p.x, mean.y + p.y, mean.z + p.z};
        const double n = static_cast<double>(std::max<size_t>(readings.size(), 1));
        mean = {mean.x / n, mean.y / n, mean.z / n};
        double reach = 0;
        for (const Point3& p : readings)
            reach = std::max({reach, std::fabs(p.x - mean.x), std::fabs(p.y - mean.y), std::fabs(p.z - mean.z)});
        if (reach > 0 && std::isfinite(reach)) r.coveredDirections = CoveredDirections(readings, mean, {reach, reach, reach});
        r.offset = mean;  // where the directions are drawn from; no offset to show
        r.meanRadius = std::isfinite(reach) ? reach : 0;
    }
    r.covered = static_cast<int>(std::count(r.coveredDirections.begin(), r.coveredDirections.end(), true));

    if (const auto general = FitGeneralEllipsoid(readings)) {
        strengths.clear();
        for (const Point3& p : readings) {
            const double d[3] = {p.x - general->centre.x, p.y - general->centre.y, p.z - general->centre.z};
            double q = 0;
            for (size_t i = 0; i < 3; ++i)
                for (size_t j = 0; j < 3; ++j) q += d[i] * general->shape[i][j] * d[j];
            strengths.push_back(std::sqrt(std::max(q, 0.0)));
        }
        r.spreadAfterGeneralPercent = SpreadPercent(strengths);
    }

    if (!readings.empty()) r.next = NextDirections(r.coveredDirections);

    r.judged = readings.size() >= kCoachMinSamples || module.ended;
    if (r.judged) {
        if (readings.size() < kCoachMinSamples) r.reasons.push_back(MagCoachReason::TooFewSamples);
        if (r.covered < kCoachMinDirections) r.reasons.push_back(MagCoachReason::TooFewDirections);
        if (r.spreadAfterPercent && Rounded(*r.spreadAfterPercent, 1) > kCoachMaxSpreadPercent)
            r.reasons.push_back(MagCoachReason::Interference);
        if (r.fieldUt && (Rounded(*r.fieldUt, 1) < kEarthFieldMinUt || Rounded(*r.fieldUt, 1) > kEarthFieldMaxUt))
            r.reasons.push_back(MagCoachReason::FieldOutOfRange);
        if (module.reportedFailure) r.reasons.push_back(MagCoachReason::ModuleFailed);
        r.good = r.reasons.empty() && r.model != MagCoachModel::None;
    }
    return r;
}

std::string ReasonText(const MagCoachReport& r, MagCoachReason reason, MagCoachText text) {
    switch (reason) {
    case MagCoachReason::TooFewSamples: return "too few samples (" + std::to_string(r.samples) + ")";
    case MagCoachReason::TooFewDirections:
        return "too few directions covered (" + std::to_string(r.covered) + " of " + std::to_string(kDirectionCount) + ")";
    case MagCoachReason::Interference:
        return "field strength varies by " + Fixed(r.spreadAfterPercent.value_or(0), 1) +
               " % after correction: magnetic interference nearby";
    case MagCoachReason::FieldOutOfRange:
        return "field strength " + Fixed(r.fieldUt.value_or(0), 1) + " " + Unit(text) + " is outside the Earth's range of " +
               Fixed(kEarthFieldMinUt, 0) + " to " + Fixed(kEarthFieldMaxUt, 0) + " " + Unit(text);
    case MagCoachReason::ModuleFailed: return "the module reported a failed calibration";
    }
    return {};
}

std::string DirectionWords(int direction) {
    const auto d = DirectionOf(direction);
    std::vector<std::string> axes;
    for (size_t i = 0; i < 3; ++i)
        if (d[i] != 0) axes.push_back(std::string(d[i] > 0 ? "+" : "-") + "XYZ"[i]);
    if (axes.size() == 1) return axes[0] + " axis";
    if (axes.size() == 2) return axes[0] + " and " + axes[1] + " axes";
    return axes[0] + ", " + axes[1] + " and " + axes[2] + " axes";
}

MagCoachLines CoachLines(const MagCoachReport& r, MagCoachText text) {
    MagCoachLines out;
    out.values.push_back("Samples: " + std::to_string(r.samples));
    out.values.push_back("Coverage: " + std::to_string(r.covered) + " of " + std::to_string(kDirectionCount) +
                         " directions");
    if (r.judged) {
        if (r.fieldUt) out.values.push_back("Field strength: " + Fixed(*r.fieldUt, 1) + " " + Unit(text));
        if (r.model != MagCoachModel::None) out.values.push_back("Offset: " + Triple(r.offset, text));
        if (r.spreadBeforePercent) out.values.push_back("Spread before: " + Fixed(*r.spreadBeforePercent, 1) + " %");
        if (r.spreadAfterPercent) out.values.push_back("Spread after: " + Fixed(*r.spreadAfterPercent, 1) + " %");
        if (r.spreadAfterPercent && r.spreadAfterGeneralPercent &&
            *r.spreadAfterPercent - *r.spreadAfterGeneralPercent >= kCrossAxisNotePoints)
            out.crossAxis = "A general ellipsoid would bring the spread after to " +
                            Fixed(*r.spreadAfterGeneralPercent, 1) + " % (soft iron across the axes).";
        out.verdict = r.good ? "Good calibration data." : "Poor calibration data:";
        for (MagCoachReason reason : r.reasons) out.reasons.push_back(ReasonText(r, reason, text));
    }
    if (r.moduleOffset) out.values.push_back("Module offset: " + Triple(*r.moduleOffset, text));
    if (!r.next.empty() && !r.good) {
        out.next = "Next: point the module's " + DirectionWords(r.next[0]) + " down";
        if (r.next.size() > 1) out.next += ", then its " + DirectionWords(r.next[1]);
    }
    return out;
}

std::vector<std::string> MagCoachLines::All() const {
    std::vector<std::string> all = values;
    for (const std::string* line : {&crossAxis, &verdict})
        if (!line->empty()) all.push_back(*line);
    all.insert(all.end(), reasons.begin(), reasons.end());
    if (!next.empty()) all.push_back(next);
    return all;
}

std::string CoachJson(const MagCoachReport& r) {
    using json = nlohmann::ordered_json;
    auto number = [](const std::optional<double>& v, int decimals) { return v ? json(Rounded(*v, decimals)) : json(); };
    auto triple = [](const Point3& p, int decimals) {
        return json::array({Rounded(p.x, decimals), Rounded(p.y, decimals), Rounded(p.z, decimals)});
    };
    const bool centred = r.model != MagCoachModel::None;
    json out = json::object();
    out["samples"] = r.samples;
    out["covered"] = r.covered;
    out["field_ut"] = number(r.fieldUt, 1);
    out["offset_ut"] = centred ? triple(r.offset, 1) : json();
    out["scale"] = centred ? triple(r.scale, 4) : json();
    out["spread_before_percent"] = number(r.spreadBeforePercent, 1);
    out["spread_after_percent"] = number(r.spreadAfterPercent, 1);
    out["verdict"] = !r.judged ? json() : json(r.good ? "good" : "poor");
    json reasons = json::array();
    for (MagCoachReason reason : r.reasons) reasons.push_back(ReasonText(r, reason, MagCoachText::Ascii));
    out["reasons"] = reasons;
    if (r.moduleOffset) out["module_offset_ut"] = triple(*r.moduleOffset, 1);
    return out.dump();
}

}  // namespace calib

namespace calib {

Point3 DirectionPoint(const MagCoachReport& report, int direction, double factor) {
    const std::array<int, 3> d = DirectionOf(direction);
    const double norm = std::sqrt(double(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]));
    const double r = report.meanRadius * factor / norm;
    return {report.offset.x + d[0] * r * report.scale.x, report.offset.y + d[1] * r * report.scale.y,
            report.offset.z + d[2] * r * report.scale.z};
}

}  // namespace calib
