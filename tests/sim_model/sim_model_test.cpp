// The simulated module without a pseudo-terminal: frames in, frames out, on a
// clock the test moves by hand.
#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "sim/fft.h"
#include "sim/module_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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
    EXPECT_EQ(Set(m, 0x1f, 70000, 0), 60000);       // limited
    EXPECT_EQ(Set(m, 0x0c, 12345, 0), 115200);      // not a rate: kept
    EXPECT_EQ(Set(m, 0x0c, 9600, 0), 9600);
    EXPECT_EQ(m.ActiveBaud(1), 115200);              // only after a restart
    EXPECT_EQ(Set(m, 0x06, 99, 0), 99);
    EXPECT_TRUE(m.IsRestarting(0.5));
    EXPECT_FALSE(Get(m, 0x02, 0, 1, 0.5).ok);        // silent while restarting
    m.Advance(1.1);
    EXPECT_EQ(m.ActiveBaud(1), 9600);
    EXPECT_EQ(Set(m, 0x02, 5, 1.2), 1011);           // read-only: echoes what it holds
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

TEST(SimModel, CalibrationRunsItsTimeAndWritesResults) {
    sim::ModuleModel m(0);
    Set(m, 0x06, 3, 0);
    EXPECT_EQ(m.StatusWord() & 0xF, 0x2);
    m.Advance(3.9);
    EXPECT_EQ(m.StatusWord() & 0xF, 0x2);
    m.Advance(4.1);
    EXPECT_EQ(m.StatusWord() & 0xF, 0x8);
    EXPECT_NE(Get(m, 0x46, 0, 9, 4.2).values[0], 0);
    Set(m, 0x06, 9, 4.3);
    EXPECT_EQ(Get(m, 0x46, 0, 9, 4.4).values[0], 0);
    // Held still, the magnetometer calibration fails after its 30 s.
    m.holdEuler = sim::Vec3{};
    Set(m, 0x06, 4, 5);
    EXPECT_EQ(m.StatusWord() & 0x4, 0x4);
    m.Advance(35.1);
    EXPECT_EQ(static_cast<uint32_t>(m.StatusWord()) & 0x1000F, 0x10000u);
}

TEST(SimModel, SpectrumAndPeaksShowTheTone) {
    sim::ModuleModel m(0);
    m.toneHz = 120;
    m.toneAmplitude = 2.0;
    Set(m, 0x22, 3, 0);  // filtered accelerometer, 1 kHz
    const auto peaks = m.Peaks();
    EXPECT_NEAR(peaks[0], 120, 2.0);
    EXPECT_NEAR(peaks[1], 2.0, 0.3);
    const auto words = m.Spectrum();
    EXPECT_EQ(od::SpectrumSpanHz(words[99]), 500);
    int best = 0;
    for (int b = 1; b < 99; ++b)
        if (od::UnpackSpectrumBin(words[b]).x > od::UnpackSpectrumBin(words[best]).x) best = b;
    EXPECT_NEAR((best + 0.5) * 500.0 / 99, 120, 500.0 / 99);
    const auto v = m.Vibration();
    EXPECT_NEAR(v[0], 120, 3);
    EXPECT_NEAR(v[1], 0.05, 0.02);
}

TEST(SimModel, FftOfAKnownSine) {
    std::vector<double> s(1024);
    for (size_t i = 0; i < s.size(); ++i) s[i] = 3.0 * std::sin(2 * std::numbers::pi * 64 * i / 1024.0);
    const auto a = sim::AmplitudeSpectrum(s);
    EXPECT_NEAR(a[64], 3.0, 1e-9);
    EXPECT_LT(a[10], 1e-9);
}

TEST(SimModel, SyncLineIsCutAndStateRoundTrips) {
    sim::ModuleModel m(0);
    m.SetConfig(0x20, 0xFFF);
    EXPECT_LE(m.SyncLine(1).size(), 250u);
    m.SetConfig(0x20, 0x41);
    const std::string line = m.SyncLine(1);
    EXPECT_EQ(line.rfind("time,", 0), 0u) << line;
    EXPECT_NE(line.find(",euler,"), std::string::npos);
    m.SetConfig(0x1f, 333);
    sim::ModuleModel other(0);
    other.LoadStateText(m.StateText());
    EXPECT_EQ(other.Config(0x1f), 333);
    EXPECT_EQ(other.Config(0x20), 0x41);
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
