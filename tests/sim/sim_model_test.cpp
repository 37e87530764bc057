// The simulated module without a pseudo-terminal: frames in, frames out, on a
// clock the test moves by hand.
#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "sim/control_line.h"
#include "calib/mag_coach.h"
#include "sim/ellipsoid_fit.h"
#include "sim/fft.h"
#include "sim/module_model.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <numbers>

namespace {

std::vector<uint8_t> Request(uint8_t op, uint8_t type, uint16_t index, uint8_t sub, const uint8_t data[4]) {
    std::vector<uint8_t> f(13);
    frame::Build(f.data(), 1, static_cast<uint8_t>(op | type), index, sub, data, 1);
    return f;
}

struct Reply {
    bool ok = false;
    uint8_t type = 0;
    std::vector<double> values;
};

Reply Get(sim::ModuleModel& m, uint16_t index, uint8_t sub, uint8_t count, double now) {
    const uint8_t data[4] = {count, 0, 0, 0};
    const auto req = Request(frame::OP_GET_REQUEST, OBJ_INT32, index, sub, data);
    const auto r = m.Handle(req.data(), now);
    Reply out;
    if (r.size() < 13) return out;
    EXPECT_EQ(r[1] + 4u, r.size());
    EXPECT_EQ(r[r.size() - 2], frame::Checksum(r.data() + 2, r.size() - 4));
    EXPECT_EQ(r[3] & 0xF0, frame::OP_GET_REPLY);
    out.ok = true;
    out.type = r[3] & 0x0F;
    for (size_t i = 7; i + 2 < r.size(); i += 4) {
        if (out.type == OBJ_FLOAT32) {
            float f;
            std::memcpy(&f, &r[i], 4);
            out.values.push_back(f);
        } else {
            int32_t v;
            std::memcpy(&v, &r[i], 4);
            out.values.push_back(v);
        }
    }
    return out;
}

double Set(sim::ModuleModel& m, uint16_t index, int32_t value, double now) {
    uint8_t data[4];
    std::memcpy(data, &value, 4);
    const auto r = m.Handle(Request(frame::OP_SET_REQUEST, OBJ_INT32, index, 0, data).data(), now);
    EXPECT_EQ(r.size(), 13u);
    if (r.size() != 13) return NAN;
    EXPECT_EQ(r[3] & 0xF0, frame::OP_SET_REPLY);
    if ((r[3] & 0x0F) == OBJ_FLOAT32) {
        float f;
        std::memcpy(&f, &r[7], 4);
        return f;
    }
    int32_t v;
    std::memcpy(&v, &r[7], 4);
    return v;
}

double SetFloat(sim::ModuleModel& m, uint16_t index, float value, double now) {
    uint8_t data[4];
    std::memcpy(data, &value, 4);
    const auto r = m.Handle(Request(frame::OP_SET_REQUEST, OBJ_FLOAT32, index, 0, data).data(), now);
    if (r.size() != 13) return NAN;
    float f;
    std::memcpy(&f, &r[7], 4);
    return (r[3] & 0x0F) == OBJ_FLOAT32 ? f : static_cast<double>(static_cast<int32_t>(r[7] | r[8] << 8 | r[9] << 16 | r[10] << 24));
}

uint32_t Status(const sim::ModuleModel& m) { return static_cast<uint32_t>(m.StatusWord()); }

}  // namespace

TEST(SimModel, AnswersWithTheCatalogueTypeAndCount) {
    sim::ModuleModel m(0);
    EXPECT_EQ(Get(m, 0x02, 0, 1, 0).values, std::vector<double>{1011});
    const Reply e = Get(m, 0x37, 0, 3, 0.1);
    EXPECT_EQ(e.type, OBJ_FLOAT32);
    EXPECT_EQ(e.values.size(), 3u);
    EXPECT_EQ(Get(m, 0x46, 7, 9, 0.1).values.size(), 2u);  // from sub-index 7 only two remain
    EXPECT_EQ(Get(m, 0x3e, 50, 50, 0.1).values.size(), 50u);
    EXPECT_FALSE(Get(m, 0x01, 0, 1, 0.1).ok);               // unknown object: silence
    EXPECT_FALSE(Get(m, 0x37, 3, 1, 0.1).ok);               // past its end
    m.productId = 1010;
    EXPECT_EQ(Get(m, 0x02, 0, 1, 0.2).values, std::vector<double>{1010});
}

TEST(SimModel, SetsEchoWhatTheModuleKeeps) {
    sim::ModuleModel m(0);
    EXPECT_EQ(Set(m, 0x1f, 250, 0), 250);
    EXPECT_EQ(Set(m, 0x1f, 70000, 0), 60000);       // numbers: limited to the range
    EXPECT_EQ(Set(m, 0x1f, -5, 0), 1);
    EXPECT_EQ(Set(m, 0x22, 7, 0), 4);
    EXPECT_EQ(SetFloat(m, 0x24, 200.0f, 0), 160);
    EXPECT_EQ(SetFloat(m, 0x19, 0.0005f, 0), 0.0005f);
    EXPECT_EQ(SetFloat(m, 0x14, NAN, 0), 1.0f);      // not a number: kept
    EXPECT_EQ(Set(m, 0x0c, 12345, 0), 115200);      // codes: an unknown one is refused
    EXPECT_EQ(Set(m, 0x0f, -1, 0), 0);
    EXPECT_EQ(Set(m, 0x10, -1, 0), -1);             // bypass is a gyroscope low-pass code
    EXPECT_EQ(Set(m, 0x12, -2, 0), 3);
    EXPECT_EQ(Set(m, 0x1e, 5, 0), 1);
    EXPECT_EQ(Set(m, 0x20, 0x1FFF, 0), 0xFFF);      // twelve quantities
    EXPECT_EQ(Set(m, 0x02, 5, 0), 1011);            // read-only: echoes what it holds
    EXPECT_EQ(Set(m, 0x30, 1, 0), static_cast<float>(m.Voltage()));
}

TEST(SimModel, RestartRunsWhatTheFlashHolds) {
    sim::ModuleModel m(0);
    Set(m, 0x0c, 9600, 0);
    Set(m, 0x1f, 500, 0);
    EXPECT_EQ(m.ActiveBaud(1), 115200);              // new rates only after a restart
    EXPECT_EQ(Set(m, 0x06, 1, 0), 1);                // flash write: silent for a moment
    EXPECT_FALSE(Get(m, 0x02, 0, 1, 0.2).ok);
    EXPECT_TRUE(Get(m, 0x02, 0, 1, 0.3).ok);
    Set(m, 0x1f, 777, 0.4);                          // not written to flash
    EXPECT_EQ(Set(m, 0x06, 99, 0.5), 99);
    EXPECT_FALSE(Get(m, 0x02, 0, 1, 1.2).ok);        // restarting: silent
    EXPECT_TRUE(Get(m, 0x02, 0, 1, 1.35).ok);
    EXPECT_EQ(m.ActiveBaud(1), 9600);
    EXPECT_EQ(m.Config(0x1f), 500);
    Set(m, 0x1f, 900, 1.4);
    EXPECT_EQ(Set(m, 0x06, 2, 1.5), 2);              // factory default: the running configuration
    EXPECT_FALSE(Get(m, 0x1f, 0, 1, 1.55).ok);
    EXPECT_EQ(Get(m, 0x1f, 0, 1, 1.65).values, std::vector<double>{100});
    EXPECT_EQ(Get(m, 0x0c, 0, 1, 1.65).values, std::vector<double>{115200});
    EXPECT_EQ(m.ActiveBaud(1), 9600);
}

TEST(SimModel, FlashPersistsInTheStateFile) {
    CTempDir dir;
    const std::string path = dir.File("state");
    {
        sim::ModuleModel m(0);
        m.statePath = path;
        Set(m, 0x1f, 333, 0);
        Set(m, 0x20, 0x41, 0);
        Set(m, 0x06, 1, 0);
        Set(m, 0x06, 3, 1);                          // a calibration keeps its result at once
        m.Advance(5.5);
        Set(m, 0x1f, 444, 6);                        // not flashed
    }
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    sim::ModuleModel other(0);
    other.LoadStateText(text.str());
    EXPECT_EQ(other.Config(0x1f), 333);
    EXPECT_EQ(other.Config(0x20), 0x41);
    EXPECT_FLOAT_EQ(other.Tables().bias[3], sim::ModuleModel::TrueSensorErrors().bias[3]);
}

TEST(SimModel, ForcedValuesPassEveryLimitUntilReleased) {
    sim::ModuleModel m(0);
    m.Force(0x0f, 0, {5});
    EXPECT_EQ(Get(m, 0x0f, 0, 1, 0).values, std::vector<double>{5});
    m.Force(0x46, 3, {1.5, 2.5});
    const auto bias = Get(m, 0x46, 0, 9, 0).values;
    EXPECT_EQ(bias[3], 1.5);
    EXPECT_EQ(bias[4], 2.5);
    m.Force(0x32, 0, {24.7});
    EXPECT_FLOAT_EQ(Get(m, 0x32, 0, 1, 0).values[0], 24.7f);
    m.Force(0x0b, 0, {14400});
    EXPECT_EQ(Get(m, 0x0b, 0, 1, 0).values, std::vector<double>{14400});
    m.Release();
    EXPECT_NEAR(Get(m, 0x32, 0, 1, 0).values[0], 25, 1);
    EXPECT_EQ(Get(m, 0x0f, 0, 1, 0).values, std::vector<double>{5});   // a configuration value stays
}

TEST(SimModel, IgnoredRequestsGetNoReplyAndNoEffect) {
    sim::ModuleModel m(0);
    m.IgnoreRequests(0x29, 64, 2);
    m.IgnoreRequests(0x1f, -1, 1);
    EXPECT_FALSE(Get(m, 0x29, 64, 32, 0).ok);
    EXPECT_TRUE(Get(m, 0x29, 96, 32, 0).ok);
    EXPECT_FALSE(Get(m, 0x29, 64, 32, 0).ok);
    EXPECT_TRUE(Get(m, 0x29, 64, 32, 0).ok);
    uint8_t data[4] = {0xF4, 0x01, 0, 0};  // 500
    EXPECT_TRUE(m.Handle(Request(frame::OP_SET_REQUEST, OBJ_INT32, 0x1f, 0, data).data(), 0).empty());
    EXPECT_EQ(m.Config(0x1f), 100);
}

TEST(SimModel, ProbeBecomesReadyAndEnds) {
    sim::ModuleModel m(0);
    Set(m, 0x07, 2, 0);
    Set(m, 0x06, 1007, 0);
    EXPECT_EQ(m.StatusWord() & 0x1F00, 0x700);
    m.Advance(0.1);
    EXPECT_EQ(m.StatusWord() & 0x1000, 0);
    m.Advance(0.3);  // 1024 samples x delay 2 at 10 kHz + 50 ms
    EXPECT_EQ(m.StatusWord() & 0x1F00, 0x1700);
    EXPECT_EQ(Get(m, 0x2b, 200, 32, 0.3).values.size(), 32u);
    Set(m, 0x06, 1000, 0.4);
    EXPECT_EQ(m.StatusWord() & 0x1F00, 0);
}

TEST(SimModel, ProbeWavesAreKnownValueForValue) {
    sim::ModuleModel m(0);
    m.probeWave = sim::ProbeWave::Sine;
    Set(m, 0x06, 1005, 0);
    m.Advance(1);
    const auto& b = m.ProbeBuffer();
    EXPECT_EQ(b[16], 1000);                          // channel 0, sample 16: a quarter period of 64
    EXPECT_EQ(b[256 + 48], -2000);                   // channel 1
    EXPECT_EQ(b[512 + 8], 2121);                     // channel 2: round(3000 sin(pi / 4))
    m.probeWave = sim::ProbeWave::Ramp;
    Set(m, 0x06, 1001, 1);
    m.Advance(2);
    EXPECT_EQ(m.ProbeBuffer()[0], -1280);
    EXPECT_EQ(m.ProbeBuffer()[512 + 255], 3810);
    m.probeWave = sim::ProbeWave::Square;
    Set(m, 0x06, 1008, 2);
    m.Advance(3);
    EXPECT_EQ(m.ProbeBuffer()[330 + 31], 2000000);
    EXPECT_EQ(m.ProbeBuffer()[330 + 32], 0);
    m.probeWave = sim::ProbeWave::Sine;
    Set(m, 0x06, 1007, 3);
    m.Advance(4);
    EXPECT_EQ(m.ProbeBuffer()[660 + 48], 3000000);   // channel 2: one line at bin 48
    EXPECT_EQ(m.ProbeBuffer()[660 + 47], 0);
    // Read out as the probe window does: element n of object 0x28 + n / 256.
    EXPECT_EQ(Get(m, 0x2a, 660 + 48 - 512, 1, 4).values, std::vector<double>{3000000});
}

TEST(SimModel, ProbeFaultsOnRequest) {
    sim::ModuleModel m(0);
    m.probeIgnore = 2;
    Set(m, 0x06, 1003, 0);
    Set(m, 0x06, 1003, 0.01);
    EXPECT_EQ(Status(m) & 0x1F00, 0u);               // two requests not confirmed
    Set(m, 0x06, 1003, 0.02);
    EXPECT_EQ(Status(m) & 0x1F00, 0x300u);
    m.probeNeverReady = true;
    Set(m, 0x06, 1004, 0.03);
    m.Advance(60);
    EXPECT_EQ(Status(m) & 0x1F00, 0x400u);
}

TEST(SimModel, RawCountsFollowTheFullScaleOfTheLastStart) {
    sim::ModuleModel m(0);
    m.holdEuler = sim::Vec3{};
    m.toneAmplitude = 0;
    m.vibrationAmplitude = 0;
    // Counts per g of the z axis: its mean over the block by the raw z the
    // sensor reads (gravity and the slow linear motion, with its errors).
    const auto& e = sim::ModuleModel::TrueSensorErrors();
    auto countsPerG = [&](double at) {
        Set(m, 0x06, 1002, at);
        m.Advance(at + 0.2);
        double sum = 0;
        for (int i = 0; i < 256; ++i) sum += m.ProbeBuffer()[static_cast<size_t>(512 + i)];
        const double g = e.scale[2] * (1 + m.AccelNoGravity().z / 9.80665) + e.bias[2] + e.tempCoeff[2] * (m.Temperature() - 25);
        return sum / 256 / g;
    };
    EXPECT_NEAR(countsPerG(0), 8192, 10);             // 4 g full scale
    Set(m, 0x11, 0, 1);
    EXPECT_NEAR(countsPerG(1), 8192, 10);             // not before a restart
    Set(m, 0x06, 1, 2);
    Set(m, 0x06, 99, 3);
    EXPECT_NEAR(countsPerG(5), 16384, 20);
}

TEST(SimModel, CalibrationRunsItsTimeAndWritesResults) {
    sim::ModuleModel m(0);
    const auto& truth = sim::ModuleModel::TrueSensorErrors();
    Set(m, 0x06, 3, 0);
    EXPECT_EQ(Status(m) & 0xF, 0x2u);
    const sim::Vec3 still = m.Euler();
    m.Advance(3.9);
    EXPECT_EQ(Status(m) & 0xF, 0x2u);
    EXPECT_EQ(m.Euler().z, still.z);                 // the user holds it still
    Set(m, 0x06, 4, 3.95);                           // one at a time: ignored
    m.Advance(4.1);
    EXPECT_EQ(Status(m) & 0xF, 0x8u);
    EXPECT_FLOAT_EQ(static_cast<float>(Get(m, 0x46, 0, 9, 4.2).values[3]), truth.bias[3]);
    EXPECT_FLOAT_EQ(static_cast<float>(Get(m, 0x47, 0, 9, 4.2).values[0]), truth.scale[0]);
    Set(m, 0x06, 9, 4.3);                            // reset: the factory calibration
    EXPECT_FLOAT_EQ(static_cast<float>(Get(m, 0x46, 0, 9, 4.5).values[3]), sim::ModuleModel::FactoryCalibration().bias[3]);
    // Held still, the magnetometer calibration fails after its 30 s.
    m.holdEuler = sim::Vec3{};
    Set(m, 0x06, 4, 5);
    EXPECT_EQ(Status(m) & 0x4, 0x4u);
    m.Advance(35.1);
    EXPECT_EQ(Status(m) & 0x1000F, 0x10000u);
}

TEST(SimModel, MagnetometerSamplesTraceTheKnownEllipsoid) {
    sim::ModuleModel m(0);
    const auto& truth = sim::ModuleModel::TrueSensorErrors();
    Set(m, 0x06, 4, 0);
    // What the magnetometer view collects: one reading every 100 ms.
    std::vector<sim::Point3> cloud;
    for (double t = 0.1; t < 30; t += 0.1) {
        ASSERT_EQ(Status(m) & 0x4, 0x4u) << t;
        const auto v = Get(m, 0x35, 0, 3, t).values;
        cloud.push_back({v[0], v[1], v[2]});
    }
    const auto fit = sim::FitAxisAlignedEllipsoid(cloud);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->centre.x, truth.bias[6], 0.5);
    EXPECT_NEAR(fit->centre.y, truth.bias[7], 0.5);
    EXPECT_NEAR(fit->centre.z, truth.bias[8], 0.5);
    EXPECT_NEAR(fit->radii.x / sim::ModuleModel::kEarthFieldMagnitude, truth.scale[6], 0.01);
    EXPECT_GE(sim::CoveredSectors(cloud, fit->centre, fit->radii), 24);
    m.Advance(30.1);
    EXPECT_EQ(Status(m) & 0x1000F, 0x8u);
    const auto bias = Get(m, 0x46, 0, 9, 30.2).values, scale = Get(m, 0x47, 0, 9, 30.2).values;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(bias[6 + i], truth.bias[6 + i], 0.3) << i;
        EXPECT_NEAR(scale[6 + i], truth.scale[6 + i], 0.005) << i;
    }
    // Calibrated, the field is the earth's: a sphere.
    const sim::Vec3 f = m.MagneticField();
    EXPECT_NEAR(std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z), sim::ModuleModel::kEarthFieldMagnitude, 1.0);
}

TEST(SimModel, ShortenedMagnetometerCalibrationStillCoversEveryDirection) {
    sim::ModuleModel m(0);
    m.calibrationSeconds[sim::Calibration::Magnetometer] = 2.0;
    Set(m, 0x06, 4, 0);
    m.Advance(2.1);
    EXPECT_EQ(Status(m) & 0x1000F, 0x8u);
}

// The readings of a magnetometer calibration as the view collects them.
calib::MagCoachReport CoachedRun(sim::ModuleModel& m) {
    Set(m, 0x06, 4, 0);
    std::vector<calib::Point3> cloud;
    for (double t = 0.1; t < 30; t += 0.1) {
        const auto v = Get(m, 0x35, 0, 3, t).values;
        cloud.push_back({v[0], v[1], v[2]});
    }
    m.Advance(30.1);
    return calib::CoachMagnetometer(cloud, {true, (Status(m) & 0x10000) != 0, std::nullopt});
}

TEST(SimModel, MagnetometerOptionsMakeGoodAndBadRuns) {
    sim::ModuleModel good(0);
    good.magField = 30;
    good.magOffset = {5, -6, 7};
    const auto g = CoachedRun(good);
    EXPECT_TRUE(g.good);
    EXPECT_NEAR(*g.fieldUt, 30 * (good.magScale.x + good.magScale.y + good.magScale.z) / 3, 0.5);
    EXPECT_NEAR(g.offset.x, 5, 1.0);
    EXPECT_NEAR(g.offset.z, 7, 1.0);
    sim::ModuleModel half(0);
    half.magTurns = sim::MagTurns::Half;
    const auto h = CoachedRun(half);
    EXPECT_LT(h.covered, 18);
    EXPECT_EQ(calib::CoachLines(h, calib::MagCoachText::Ascii).next.substr(0, 35), "Next: point the module's +Z axis do");
    sim::ModuleModel flat(0);
    flat.magTurns = sim::MagTurns::Flat;
    const auto f = CoachedRun(flat);
    EXPECT_EQ(f.covered, 8);
    EXPECT_EQ(f.reasons.back(), calib::MagCoachReason::ModuleFailed);
    sim::ModuleModel disturbed(0);
    disturbed.magInterference = 0.3;
    EXPECT_GT(*CoachedRun(disturbed).spreadAfterPercent, 5.0);
}

TEST(SimModel, TemperatureCalibrationHeatsTheModule) {
    sim::ModuleModel m(0);
    const double before = m.Temperature();
    Set(m, 0x06, 45, 0);
    m.Advance(5);
    EXPECT_EQ(Status(m) & 0xF, 0x1u);
    EXPECT_GT(m.Temperature(), before + 2.5);
    m.Advance(10.1);
    EXPECT_EQ(Status(m) & 0xF, 0x8u);
    EXPECT_FLOAT_EQ(m.Tables().tempCoeff[6], sim::ModuleModel::TrueSensorErrors().tempCoeff[6]);
    m.Advance(400);
    EXPECT_LT(m.Temperature(), before + 3.5);        // cooled down again
}

TEST(SimModel, CalibrationFailsOrHangsOnRequest) {
    sim::ModuleModel m(0);
    m.failCalibration = sim::Calibration::GyroAccel;
    Set(m, 0x06, 3, 0);
    m.Advance(4.1);
    EXPECT_EQ(Status(m) & 0x1000F, 0x10000u);
    EXPECT_EQ(m.Tables().bias[3], sim::ModuleModel::FactoryCalibration().bias[3]);   // unchanged
    m.hangCalibration = sim::Calibration::Temperature;
    Set(m, 0x06, 45, 5);
    EXPECT_EQ(Status(m) & 0x1000F, 0x1u);            // the last outcome is cleared at a start
    m.Advance(500);
    EXPECT_EQ(Status(m) & 0x1, 0x1u);                // never ends by itself
    m.EndCalibration(501);
    EXPECT_EQ(Status(m) & 0x1000F, 0x8u);
}

TEST(SimModel, FactorySaveTextCommandKeepsTheCalibrationForReset) {
    sim::ModuleModel m(0);
    Set(m, 0x06, 3, 0);
    m.Advance(4.1);
    EXPECT_FALSE(m.TextLine("/f\r", 5).empty());
    EXPECT_TRUE(m.TextLine("/f", 5.1).empty());      // busy with its flash
    m.Force(0x46, 3, {9});
    Set(m, 0x06, 9, 6);
    EXPECT_FLOAT_EQ(m.Tables().bias[3], sim::ModuleModel::TrueSensorErrors().bias[3]);
    EXPECT_TRUE(m.TextLine("*", 7).empty());         // the wake-up text: nothing
}

TEST(SimModel, SpectrumAndPeaksShowTheTone) {
    sim::ModuleModel m(0);
    m.toneHz = 120;
    m.toneAmplitude = 2.0;
    m.vibrationAmplitude = 1.0;
    Set(m, 0x22, 3, 0);  // filtered accelerometer, 1 kHz
    const auto peaks = m.Peaks();
    EXPECT_NEAR(peaks[0], 120, 0.3);
    EXPECT_NEAR(peaks[1], 2.0, 0.02);
    EXPECT_NEAR(peaks[2], 204, 0.5);                 // y at 1.7 times the tone, half as strong
    EXPECT_NEAR(peaks[3], 1.0, 0.01);
    const auto words = m.Spectrum();
    EXPECT_EQ(od::SpectrumSpanHz(words[99]), 500);
    const int scale = od::SpectrumFullScale(words[99]);
    EXPECT_EQ(scale, 2);
    // Bin i stands for i x span / 100 Hz, as the Frequency page draws it.
    EXPECT_NEAR(od::UnpackSpectrumBin(words[24]).x, 1000, 10);
    EXPECT_LT(od::UnpackSpectrumBin(words[20]).x, 20);
    EXPECT_NEAR(od::UnpackSpectrumBin(words[41]).y, 500, 10);
    Set(m, 0x22, 1, 1);  // raw, 10 kHz
    EXPECT_EQ(od::SpectrumSpanHz(m.Spectrum()[99]), 5000);
    Set(m, 0x22, 0, 2);
    EXPECT_EQ(m.Spectrum()[99], 0);
}

TEST(SimModel, VibrationReportsTheRingingAboveTheThreshold) {
    sim::ModuleModel m(0);
    m.vibrationHz = 10;
    m.vibrationRatio = 0.5;
    m.vibrationAmplitude = 5;
    Set(m, 0x23, 1, 0);
    const auto v = Get(m, 0x3c, 0, 3, 0).values;
    EXPECT_FLOAT_EQ(v[0], 10);
    EXPECT_FLOAT_EQ(v[1], 0.5);
    EXPECT_FLOAT_EQ(v[2], 5);
    SetFloat(m, 0x24, 6.0f, 0);                      // above the magnitude: nothing detected
    EXPECT_EQ(Get(m, 0x3c, 0, 3, 0).values, (std::vector<double>{0, 0, 0}));
    Set(m, 0x23, 2, 0);                              // gyroscope, its own threshold
    SetFloat(m, 0x25, 5.0f, 0);
    EXPECT_EQ(Get(m, 0x3c, 0, 3, 0).values, (std::vector<double>{0, 0, 0}));
    m.vibrationAmplitude = 8;
    EXPECT_FLOAT_EQ(Get(m, 0x3c, 0, 3, 0).values[2], 8);
}

TEST(SimModel, FftOfAKnownSine) {
    std::vector<double> s(1024);
    for (size_t i = 0; i < s.size(); ++i) s[i] = 3.0 * std::sin(2 * std::numbers::pi * 64 * i / 1024.0);
    const auto a = sim::AmplitudeSpectrum(s);
    EXPECT_NEAR(a[64], 3.0, 1e-9);
    EXPECT_LT(a[10], 1e-9);
}

TEST(SimModel, SyncLineIsCutAt252Bytes) {
    sim::ModuleModel m(0);
    m.SetConfig(0x20, 0xFFF);
    EXPECT_LE(m.SyncLine(1).size(), 250u);
    m.SetConfig(0x20, 0x41);
    const std::string line = m.SyncLine(1);
    EXPECT_EQ(line.rfind("time,", 0), 0u) << line;
    EXPECT_NE(line.find(",euler,"), std::string::npos);
    EXPECT_EQ(m.SyncLine(1).find("time,1000,"), 0u);   // milliseconds since the start
}

TEST(SimModel, EulerAndQuaternionAgree) {
    sim::ModuleModel m(0);
    m.Advance(7.3);
    const sim::Vec3 e = m.Euler();
    const auto q = m.Quaternion();
    // Yaw back from the quaternion (ZYX order).
    const double yaw = std::atan2(2 * (q[0] * q[3] + q[1] * q[2]), 1 - 2 * (q[2] * q[2] + q[3] * q[3])) * 180 / std::numbers::pi;
    EXPECT_NEAR(yaw, e.z, 1e-6);
    // The accelerometer reads about 1 g in any attitude.
    const sim::Vec3 a = m.Acceleration();
    EXPECT_NEAR(std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z), 1.0, 0.05);
}

TEST(SimModel, ControlLinesActOnTheModel) {
    sim::ModuleModel m(0);
    std::string error;
    EXPECT_TRUE(sim::ApplyControlLine(m, "force sp 0", 0, &error)) << error;
    EXPECT_EQ(m.Config(0x1f), 0);
    EXPECT_TRUE(sim::ApplyControlLine(m, "force 0x47:6 1.5 0.5", 0, &error)) << error;
    EXPECT_FLOAT_EQ(m.Tables().scale[7], 0.5f);
    EXPECT_TRUE(sim::ApplyControlLine(m, "fail-calibration magnetometer", 0, &error));
    EXPECT_EQ(m.failCalibration, sim::Calibration::Magnetometer);
    EXPECT_TRUE(sim::ApplyControlLine(m, "probe-wave square", 0, &error));
    EXPECT_EQ(m.probeWave, sim::ProbeWave::Square);
    EXPECT_TRUE(sim::ApplyControlLine(m, "vibration 10 0.5 5", 0, &error));
    EXPECT_EQ(m.vibrationRatio, 0.5);
    EXPECT_TRUE(sim::ApplyControlLine(m, "drop-request 0x29:64/2", 0, &error));
    EXPECT_FALSE(Get(m, 0x29, 64, 32, 0).ok);
    EXPECT_TRUE(sim::ApplyControlLine(m, "status 220000", 0, &error));
    EXPECT_EQ(m.raisedStatusBits, 0x220000u);
    for (const char* bad : {"fail-calibration compass", "force 0x1f", "tone -3", "probe-wave triangle", "drop-request 0x29:x",
                            "launch", "euler 1 2"})
        EXPECT_FALSE(sim::ApplyControlLine(m, bad, 0, &error)) << bad;
}

TEST(SimModel, EllipsoidFitNeedsASpreadOfDirections) {
    std::vector<sim::Point3> flat;
    for (int i = 0; i < 100; ++i) flat.push_back({std::cos(i * 0.1) * 40, std::sin(i * 0.1) * 40, 5});
    EXPECT_FALSE(sim::FitAxisAlignedEllipsoid(flat));
    std::vector<sim::Point3> ball;
    for (int i = 0; i < 400; ++i) {
        const double u = std::acos(1 - 2 * (i + 0.5) / 400.0), v = i * 2.399963;
        ball.push_back({3 + 50 * std::sin(u) * std::cos(v), -4 + 40 * std::sin(u) * std::sin(v), 7 + 30 * std::cos(u)});
    }
    const auto fit = sim::FitAxisAlignedEllipsoid(ball);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->centre.y, -4, 1e-6);
    EXPECT_NEAR(fit->radii.z, 30, 1e-6);
    EXPECT_LT(fit->residual, 1e-9);
    EXPECT_EQ(sim::CoveredSectors(ball, fit->centre, fit->radii), 26);
}
