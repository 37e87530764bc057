// The magnetometer calibration coach: the fit recovers a known correction,
// the coverage of full, half and flat turns, each reason at its threshold,
// no nan from too few readings, and the exact words of the lines.
#include "calib/mag_coach.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace {

using calib::MagCoachReason;
using calib::Point3;

const Point3 kOffset{18, -12, 25};
const Point3 kScale{1.15, 0.90, 1.05};

enum class Turns { Full, Half, Flat };

// n readings of a field of `field` uT turned evenly over the sphere (Half: one
// hemisphere, Flat: a ring about z), through the offset and per-axis scale;
// `radial(i)` scales the strength of reading i.
template <typename Radial>
std::vector<Point3> Readings(int n, double field, Turns turns, Radial radial, Point3 offset = kOffset,
                             Point3 scale = kScale) {
    std::vector<Point3> out;
    for (int i = 0; i < n; ++i) {
        double u = std::acos(1 - 2 * (i + 0.5) / n);  // from +z
        if (turns == Turns::Half) u /= 2;
        if (turns == Turns::Flat) u = M_PI / 2;
        const double v = i * 2.399963, f = field * radial(i);
        out.push_back({offset.x + scale.x * f * std::sin(u) * std::cos(v), offset.y + scale.y * f * std::sin(u) * std::sin(v),
                       offset.z + scale.z * f * std::cos(u)});
    }
    return out;
}
std::vector<Point3> Readings(int n, double field = 48, Turns turns = Turns::Full) {
    return Readings(n, field, turns, [](int) { return 1.0; });
}

bool Has(const calib::MagCoachReport& r, MagCoachReason reason) {
    return std::find(r.reasons.begin(), r.reasons.end(), reason) != r.reasons.end();
}

TEST(MagCoach, CleanReadingsGiveTheKnownOffsetScaleAndField) {
    const auto r = calib::CoachMagnetometer(Readings(400));
    ASSERT_EQ(r.model, calib::MagCoachModel::AxisAligned);
    EXPECT_NEAR(r.offset.x, kOffset.x, 1.0);
    EXPECT_NEAR(r.offset.y, kOffset.y, 1.0);
    EXPECT_NEAR(r.offset.z, kOffset.z, 1.0);
    const double mean = (kScale.x + kScale.y + kScale.z) / 3;
    EXPECT_NEAR(r.scale.x, kScale.x / mean, 0.005);
    EXPECT_NEAR(r.scale.z, kScale.z / mean, 0.005);
    EXPECT_NEAR(*r.fieldUt, 48 * mean, 0.1);
    EXPECT_LT(*r.spreadAfterPercent, 0.1);
    EXPECT_GT(*r.spreadBeforePercent, 10.0);
    EXPECT_TRUE(r.good);
}

TEST(MagCoach, CoverageOfFullHalfAndFlatTurns) {
    EXPECT_EQ(calib::CoachMagnetometer(Readings(400)).covered, 26);
    const auto half = calib::CoachMagnetometer(Readings(400, 48, Turns::Half));
    EXPECT_EQ(half.covered, 17);  // the upper faces, edges and corners and the ring between
    EXPECT_FALSE(half.coveredDirections[2]);  // -Z
    const auto flat = calib::CoachMagnetometer(Readings(400, 48, Turns::Flat));
    EXPECT_EQ(flat.model, calib::MagCoachModel::None);
    EXPECT_EQ(flat.covered, 8);
}

TEST(MagCoach, TooFewSamplesBelowThirtyOnceTheModuleEnded) {
    const calib::MagCoachModule ended{true, false, std::nullopt};
    EXPECT_TRUE(Has(calib::CoachMagnetometer(Readings(29), ended), MagCoachReason::TooFewSamples));
    EXPECT_FALSE(Has(calib::CoachMagnetometer(Readings(30), ended), MagCoachReason::TooFewSamples));
    // While the run goes on, fewer than 30 have no verdict at all.
    EXPECT_FALSE(calib::CoachMagnetometer(Readings(29)).judged);
}

TEST(MagCoach, TooFewDirectionsBelowEighteen) {
    // A clean sphere without the readings nearest to the last k directions.
    auto without = [](int k) {
        std::vector<Point3> kept;
        for (const Point3& p : Readings(600, 48, Turns::Full, [](int) { return 1.0; }, {}, {1, 1, 1})) {
            const auto seen = calib::CoveredDirections({p}, {}, {1, 1, 1});
            const int d = int(std::find(seen.begin(), seen.end(), true) - seen.begin());
            if (d < calib::kDirectionCount - k) kept.push_back(p);
        }
        return calib::CoachMagnetometer(kept);
    };
    const auto eighteen = without(8), seventeen = without(9);
    EXPECT_EQ(eighteen.covered, 18);
    EXPECT_FALSE(Has(eighteen, MagCoachReason::TooFewDirections));
    EXPECT_EQ(seventeen.covered, 17);
    EXPECT_TRUE(Has(seventeen, MagCoachReason::TooFewDirections));
}

TEST(MagCoach, InterferenceAboveFivePercentAfterCorrection) {
    auto alternating = [](double e) {
        return calib::CoachMagnetometer(Readings(400, 48, Turns::Full, [e](int i) { return i % 2 ? 1 + e : 1 - e; }));
    };
    const auto below = alternating(0.049), above = alternating(0.052);
    EXPECT_NEAR(*below.spreadAfterPercent, 4.9, 0.05);
    EXPECT_FALSE(Has(below, MagCoachReason::Interference));
    EXPECT_NEAR(*above.spreadAfterPercent, 5.2, 0.05);
    EXPECT_TRUE(Has(above, MagCoachReason::Interference));
}

TEST(MagCoach, FieldOutsideTwentyToSeventy) {
    auto field = [](double f) { return calib::CoachMagnetometer(Readings(200, f, Turns::Full, [](int) { return 1.0; }, kOffset, {1, 1, 1})); };
    EXPECT_TRUE(Has(field(19.9), MagCoachReason::FieldOutOfRange));
    EXPECT_FALSE(Has(field(20.1), MagCoachReason::FieldOutOfRange));
    EXPECT_FALSE(Has(field(69.9), MagCoachReason::FieldOutOfRange));
    EXPECT_TRUE(Has(field(70.1), MagCoachReason::FieldOutOfRange));
}

TEST(MagCoach, ModuleFailureIsAReason) {
    const auto failed = calib::CoachMagnetometer(Readings(200), {true, true, std::nullopt});
    EXPECT_EQ(failed.reasons, std::vector<MagCoachReason>{MagCoachReason::ModuleFailed});
    EXPECT_FALSE(failed.good);
    EXPECT_TRUE(calib::CoachMagnetometer(Readings(200), {true, false, std::nullopt}).good);
}

TEST(MagCoach, SoftIronAcrossTheAxesIsNoted) {
    auto readings = Readings(400);
    for (Point3& p : readings) p.x += 0.3 * (p.y - kOffset.y);  // x picks up part of y
    const auto r = calib::CoachMagnetometer(readings);
    EXPECT_GT(*r.spreadAfterPercent, 2.0);
    EXPECT_LT(*r.spreadAfterGeneralPercent, 0.1);
    EXPECT_EQ(calib::CoachLines(r, calib::MagCoachText::Ascii).crossAxis.substr(0, 52),
              "A general ellipsoid would bring the spread after to ");
    EXPECT_EQ(calib::CoachLines(calib::CoachMagnetometer(Readings(400)), calib::MagCoachText::Ascii).crossAxis, "");
}

TEST(MagCoach, TooFewOrIdenticalReadingsShowNoNan) {
    const std::vector<std::vector<Point3>> cases = {
        {}, {{10, 20, 30}}, {{10, 20, 30}, {12, 20, 30}}, std::vector<Point3>(40, Point3{10, 20, 30})};
    for (const auto& readings : cases)
        for (bool ended : {false, true}) {
            const auto r = calib::CoachMagnetometer(readings, {ended, false, std::nullopt});
            std::string text = calib::CoachJson(r);
            for (const auto& line : calib::CoachLines(r, calib::MagCoachText::Ascii).All()) text += line + "\n";
            EXPECT_EQ(text.find("nan"), std::string::npos) << text;
            EXPECT_EQ(text.find("inf"), std::string::npos) << text;
            EXPECT_TRUE(nlohmann::json::accept(calib::CoachJson(r)));
            if (readings.size() >= 30 || ended) {
                EXPECT_FALSE(r.good) << text;
            }
        }
}

TEST(MagCoach, LinesHaveTheExactWords) {
    const auto good = calib::CoachMagnetometer(Readings(400, 40, Turns::Full, [](int) { return 1.0; }, {18, -12, 25}, {1, 1, 1}),
                                               {true, false, Point3{17.96, -12.04, 25.0}});
    EXPECT_EQ(calib::CoachLines(good, calib::MagCoachText::Utf8).All(),
              (std::vector<std::string>{"Samples: 400", "Coverage: 26 of 26 directions", "Field strength: 40.0 \xC2\xB5T",
                                        "Offset: 18.0, -12.0, 25.0 \xC2\xB5T", "Spread before: 34.2 %", "Spread after: 0.0 %",
                                        "Module offset: 18.0, -12.0, 25.0 \xC2\xB5T", "Good calibration data."}));

    // Too few readings, from one hemisphere, of a weak field, module failed.
    const auto poor = calib::CoachMagnetometer(Readings(20, 15, Turns::Half), {true, true, std::nullopt});
    const auto lines = calib::CoachLines(poor, calib::MagCoachText::Ascii);
    EXPECT_EQ(lines.verdict, "Poor calibration data:");
    EXPECT_EQ(lines.reasons, (std::vector<std::string>{
                                 "too few samples (20)", "too few directions covered (" + std::to_string(poor.covered) + " of 26)",
                                 "field strength " + lines.values[2].substr(16, 4) + " uT is outside the Earth's range of 20 to 70 uT",
                                 "the module reported a failed calibration"}));
    EXPECT_EQ(lines.values[2].substr(0, 16), "Field strength: ");
    // The hint: the middle of the gap, and a second one away from it.
    auto next = [](Turns turns) {
        return calib::CoachLines(calib::CoachMagnetometer(Readings(400, 48, turns)), calib::MagCoachText::Ascii).next;
    };
    EXPECT_EQ(next(Turns::Half), "Next: point the module's -Z axis down");
    EXPECT_EQ(next(Turns::Flat), "Next: point the module's -Z axis down, then its +Z axis");
    EXPECT_EQ(next(Turns::Full), "");
    EXPECT_EQ(calib::ReasonText(poor, MagCoachReason::Interference, calib::MagCoachText::Ascii).substr(0, 25),
              "field strength varies by ");

    // While the run goes on, under 30 readings: only the counts (and the hint).
    const auto early = calib::CoachLines(calib::CoachMagnetometer(Readings(20)), calib::MagCoachText::Utf8);
    EXPECT_EQ(early.values, (std::vector<std::string>{"Samples: 20", "Coverage: " + early.values[1].substr(10, 2) + " of 26 directions"}));
    EXPECT_TRUE(early.verdict.empty());
}

TEST(MagCoach, JsonHasTheKeysAndLeavesOutAnUnreadModuleOffset) {
    const auto r = calib::CoachMagnetometer(Readings(400, 40, Turns::Full, [](int) { return 1.0; }, kOffset, {1, 1, 1}),
                                            {true, true, std::nullopt});
    const auto j = nlohmann::json::parse(calib::CoachJson(r));
    EXPECT_EQ(j["samples"], 400);
    EXPECT_EQ(j["covered"], 26);
    EXPECT_EQ(j["field_ut"], 40.0);
    EXPECT_EQ(j["offset_ut"], nlohmann::json::array({18.0, -12.0, 25.0}));
    EXPECT_EQ(j["scale"], nlohmann::json::array({1.0, 1.0, 1.0}));
    EXPECT_TRUE(j["spread_before_percent"].is_number());
    EXPECT_EQ(j["spread_after_percent"], 0.0);
    EXPECT_EQ(j["verdict"], "poor");
    EXPECT_EQ(j["reasons"], nlohmann::json::array({"the module reported a failed calibration"}));
    EXPECT_FALSE(j.contains("module_offset_ut"));
    const auto withOffset = nlohmann::json::parse(calib::CoachJson(calib::CoachMagnetometer(Readings(400), {true, false, Point3{1, 2, 3}})));
    EXPECT_EQ(withOffset["module_offset_ut"], nlohmann::json::array({1.0, 2.0, 3.0}));
    EXPECT_EQ(withOffset["verdict"], "good");
}

}  // namespace

namespace {

TEST(MagCoach, DirectionPointLiesOnTheFittedSurfaceAlongItsDirection) {
    const auto r = calib::CoachMagnetometer(Readings(400, 40, Turns::Full, [](int) { return 1.0; }, kOffset, {1.2, 1, 0.8}));
    const Point3 up = calib::DirectionPoint(r, 3, 1.0);  // +Z
    EXPECT_NEAR(up.x, kOffset.x, 0.5);
    EXPECT_NEAR(up.z - kOffset.z, 40 * 0.8, 1.0);
    const Point3 corner = calib::DirectionPoint(r, 25, 2.0);  // +X +Y +Z, twice as far
    EXPECT_NEAR(corner.x - kOffset.x, 2 * 40 * 1.2 / std::sqrt(3.0), 1.5);
}

}  // namespace
