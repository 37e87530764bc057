#include "sim/module_model.h"

#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "sim/fft.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>

namespace sim {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr double kGravity = 9.80665;
constexpr double kNever = std::numeric_limits<double>::infinity();

// How long the module is silent after a command that writes its flash or
// restarts it; the PC waits longer (500, 300, 300, 500 and 1000 ms).
constexpr double kFlashWriteSilence = 0.25;
constexpr double kFactoryDefaultSilence = 0.10;
constexpr double kResetCalibrationSilence = 0.10;
constexpr double kFactorySaveSilence = 0.25;
constexpr double kRestartSilence = 0.80;

constexpr double kMagSamplePeriod = 0.01;   // the module's own sampling during its calibration
constexpr int kMagMinSectors = 20;          // of 26 directions, for a good calibration
constexpr double kMagMaxResidual = 0.05;
constexpr double kHeatRate = 0.6;           // degC per second while the temperature calibration heats
constexpr double kHeatMax = 8.0;
constexpr double kHeatMinRise = 3.0;        // needed for a temperature calibration
constexpr double kCoolTime = 60.0;

double Wrap180(double a) {
    a = std::fmod(a + 180.0, 360.0);
    if (a < 0) a += 360.0;
    return a - 180.0;
}

// Deterministic noise in [-1, 1] from a time and a channel, so that two reads
// at the same instant agree and runs are repeatable.
double Noise(double t, int channel) {
    uint64_t x = static_cast<uint64_t>(static_cast<int64_t>(t * 1e4)) * 0x9E3779B97F4A7C15ull +
                 static_cast<uint64_t>(channel) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 29;
    return static_cast<double>(x % 2000001) / 1000000.0 - 1.0;
}

// Body-to-world rotation: yaw about Z, then pitch about Y, then roll about X.
struct Rotation {
    double m[3][3];
    explicit Rotation(const Vec3& euler) {
        const double cr = std::cos(euler.x * kDeg), sr = std::sin(euler.x * kDeg);
        const double cp = std::cos(euler.y * kDeg), sp = std::sin(euler.y * kDeg);
        const double cy = std::cos(euler.z * kDeg), sy = std::sin(euler.z * kDeg);
        const double r[3][3] = {{cy * cp, cy * sp * sr - sy * cr, cy * sp * cr + sy * sr},
                                {sy * cp, sy * sp * sr + cy * cr, sy * sp * cr - cy * sr},
                                {-sp, cp * sr, cp * cr}};
        std::memcpy(m, r, sizeof m);
    }
    // World vector into the body frame (the transpose).
    Vec3 ToBody(const Vec3& w) const {
        return {m[0][0] * w.x + m[1][0] * w.y + m[2][0] * w.z, m[0][1] * w.x + m[1][1] * w.y + m[2][1] * w.z,
                m[0][2] * w.x + m[1][2] * w.y + m[2][2] * w.z};
    }
};

const Vec3 kEarthField{22.0, 4.5, -41.0};  // uT, world frame; magnitude 46.7466

double Axis(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

bool IsBaud(double v) {
    for (uint32_t rate : od::kBaudRates)
        if (v == rate) return true;
    return false;
}

double ToInt32(double v) {
    if (!std::isfinite(v)) return 0;
    return std::clamp(std::trunc(v), -2147483648.0, 2147483647.0);
}

// The module sends every integer object as a rounded int32 element (its
// small types sign-extended), a float32 one as a float.
void PutElement(uint8_t* out, uint8_t type, double value) {
    if (type == OBJ_FLOAT32) {
        const float f = static_cast<float>(value);
        frame::WriteElement(OBJ_FLOAT32, &f, out);
        return;
    }
    const int32_t i = std::isfinite(value)
                          ? static_cast<int32_t>(std::llround(std::clamp(value, -2147483648.0, 2147483647.0)))
                          : 0;
    frame::WriteElement(OBJ_INT32, &i, out);
}

int ElementsOf(uint16_t index) {
    if (index >= od::OBJ_PROBE_BUFFER && index <= od::OBJ_PROBE_BUFFER + 3) return 256;
    const od::ObjectInfo* info = od::Find(index);
    return info ? info->count : 0;
}

// Codes the module knows; a set of another code keeps the old one.
bool IsCodeObject(uint16_t index, double* low, double* high) {
    switch (index) {
    case od::OBJ_GYRO_FULL_SCALE:
    case od::OBJ_ACCEL_FULL_SCALE: *low = 0, *high = 3; return true;
    case od::OBJ_GYRO_LOW_PASS:
    case od::OBJ_ACCEL_LOW_PASS: *low = -1, *high = 7; return true;
    case od::OBJ_SYNC_PORT: *low = 0, *high = 1; return true;
    default: return false;
    }
}

bool IsConfigObject(uint16_t index) {
    const od::ObjectInfo* info = od::Find(index);
    return info && index != od::OBJ_COMMAND && (info->access & od::ACCESS_SET);
}

CalibrationTables MakeTables(std::array<float, 9> bias, std::array<float, 9> scale, std::array<float, 9> coeff) {
    CalibrationTables t;
    t.bias = bias;
    t.scale = scale;
    t.tempCoeff = coeff;
    return t;
}

double Ratio(double zeta) { return std::clamp(zeta, 0.0, 0.999); }

}  // namespace

Calibration CalibrationByName(const std::string& name) {
    if (name == "gyro-accel") return Calibration::GyroAccel;
    if (name == "magnetometer") return Calibration::Magnetometer;
    if (name == "temperature") return Calibration::Temperature;
    return Calibration::None;
}

std::optional<ProbeWave> ProbeWaveByName(const std::string& name) {
    if (name == "off" || name == "sensor") return ProbeWave::Sensor;
    if (name == "sine") return ProbeWave::Sine;
    if (name == "ramp") return ProbeWave::Ramp;
    if (name == "square") return ProbeWave::Square;
    return std::nullopt;
}

std::optional<MagTurns> MagTurnsByName(const std::string& name) {
    if (name == "full") return MagTurns::Full;
    if (name == "half") return MagTurns::Half;
    if (name == "flat") return MagTurns::Flat;
    return std::nullopt;
}

const CalibrationTables& ModuleModel::TrueSensorErrors() {
    // accelerometer (g), gyroscope (deg/s), magnetometer (uT); temperature
    // coefficients per degree from 25 degC.
    static const CalibrationTables t = MakeTables(
        {0.0123f, -0.0081f, 0.0214f, 0.412f, -0.275f, 0.118f, 18.0f, -12.0f, 25.0f},
        {1.0021f, 0.9987f, 1.0012f, 1.0105f, 0.9948f, 1.0033f, 1.15f, 0.90f, 1.05f},
        {0.0011f, -0.0007f, 0.0015f, 0.012f, -0.009f, 0.004f, 0.021f, -0.013f, 0.008f});
    return t;
}

const CalibrationTables& ModuleModel::FactoryCalibration() {
    // From production: close to the sensors' errors, the magnetometer not yet
    // calibrated in its housing, no temperature compensation.
    static const CalibrationTables t = MakeTables({0.010f, -0.010f, 0.020f, 0.400f, -0.300f, 0.100f, 0, 0, 0},
                                                  {1, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0});
    return t;
}

ModuleModel::ModuleModel(double now)
    : m_now(now), m_created(now), m_boot(now), m_motionStart(now), m_lastAdvance(now) {
    FactoryDefaults();
    m_flash = m_config;
    m_cal = m_factoryCal = FactoryCalibration();
    const CalibrationTables& e = TrueSensorErrors();
    magOffset = {e.bias[6], e.bias[7], e.bias[8]};
    magScale = {e.scale[6], e.scale[7], e.scale[8]};
}

void ModuleModel::FactoryDefaults() {
    m_config = {
        {0x07, 1},      {0x09, 0},      {0x0b, 115200}, {0x0c, 115200}, {0x0f, 0},    {0x10, 3},
        {0x11, 1},      {0x12, 3},      {0x14, 1.0},    {0x15, 0.1},    {0x16, 0.05}, {0x17, 0.01},
        {0x19, 0.5},    {0x1a, 1.0},    {0x1c, 0.1},    {0x1e, 1},      {0x1f, 100},  {0x20, 0},
        {0x22, 3},      {0x23, 1},      {0x24, 1.0},    {0x25, 2.0},
    };
}

double ModuleModel::Config(uint16_t index) const {
    auto it = m_config.find(index);
    return it == m_config.end() ? 0 : it->second;
}

void ModuleModel::SetConfig(uint16_t index, double value) {
    const od::ObjectInfo* info = od::Find(index);
    if (info == nullptr || !IsConfigObject(index) || !std::isfinite(value)) return;
    if (info->type != OBJ_FLOAT32) value = ToInt32(value);
    double low = 0, high = 0;
    if (index == od::OBJ_BAUD_UART1 || index == od::OBJ_BAUD_UART2) {
        if (!IsBaud(value)) return;  // the module keeps its rate
    } else if (IsCodeObject(index, &low, &high)) {
        if (value < low || value > high) return;  // an unknown code: kept
    } else if (index == od::OBJ_SYNC_SELECTION) {
        value = static_cast<double>(static_cast<uint32_t>(static_cast<int32_t>(value)) & 0xFFFu);
    } else if (info->minimum < info->maximum) {
        value = std::clamp(value, info->minimum, info->maximum);
    }
    m_config[index] = value;
}

void ModuleModel::Force(uint16_t index, int first, const std::vector<double>& values) {
    for (size_t i = 0; i < values.size(); ++i) {
        const int e = first + static_cast<int>(i);
        const double v = values[i];
        auto table = [&](auto& t) {
            if (e >= 0 && e < static_cast<int>(t.size())) t[static_cast<size_t>(e)] = static_cast<float>(v);
        };
        if (IsConfigObject(index) && e == 0) m_config[index] = od::Find(index)->type == OBJ_FLOAT32 ? v : ToInt32(v);
        else if (index == od::OBJ_PRODUCT_ID && e == 0) productId = static_cast<int32_t>(ToInt32(v));
        else if (index == od::OBJ_FIRMWARE_VERSION && e == 0) firmwareVersion = static_cast<int32_t>(ToInt32(v));
        else if (index == od::OBJ_HARDWARE_VERSION && e == 0) hardwareVersion = static_cast<int32_t>(ToInt32(v));
        else if (index == od::OBJ_CALIB_BIAS) table(m_cal.bias);
        else if (index == od::OBJ_CALIB_SCALE) table(m_cal.scale);
        else if (index == od::OBJ_CALIB_TEMP_COEFF) table(m_cal.tempCoeff);
        else if (index == od::OBJ_GRAVITY_ANGLE) table(m_cal.gravityAngle);
        else m_forced[{index, e}] = v;
    }
}

void ModuleModel::Release() {
    holdEuler.reset();
    holdPosition.reset();
    m_forced.clear();
}

void ModuleModel::IgnoreRequests(uint16_t index, int sub, int count) {
    if (count > 0) m_ignored.push_back({index, sub, count});
}

// ---- motion ---------------------------------------------------------------

Vec3 ModuleModel::EulerAt(double t) const {
    if (holdEuler) return *holdEuler;
    const double tau = (t - m_motionStart) * (m_motion == Motion::Tumble ? m_tumbleSpeed : 1.0);
    const Vec3& b = m_motionBase;
    switch (m_motion) {
    case Motion::Still: return {Wrap180(b.x), Wrap180(b.y), Wrap180(b.z)};
    case Motion::Tumble: {
        if (magTurns == MagTurns::Flat) return {0, 0, Wrap180(b.z + 36.0 * tau)};  // turned on a table
        if (magTurns == MagTurns::Half) return HalfTurnEulerAt(tau);
        // The user turns the module in all directions: five rolls, three
        // turns and three nods in 30 s.
        const Vec3 g{60.0 * tau, 75.0 * std::sin(2 * kPi * tau / 10.0), 36.0 * tau};
        return {Wrap180(b.x + g.x), Wrap180(b.y + g.y), Wrap180(b.z + g.z)};
    }
    case Motion::Normal:
    default: {
        const Vec3 f{12.0 * std::sin(0.31 * tau), 7.0 * std::sin(0.23 * tau + 0.5) - 7.0 * std::sin(0.5), 8.0 * tau};
        return {Wrap180(b.x + f.x), Wrap180(b.y + f.y), Wrap180(b.z + f.z)};
    }
    }
}

// The field, seen from the module, sweeps the module's -Z hemisphere: from
// -Z out to the equator and back in 30 s, ten times around; the module also
// turns about the field. The attitude is the one that puts the field there.
Vec3 ModuleModel::HalfTurnEulerAt(double tau) const {
    const double polar = kPi / 2 * (1 - std::cos(2 * kPi * tau / 30.0)) / 2, around = 2 * kPi * tau / 3.0;
    const double d[3] = {std::sin(polar) * std::cos(around), std::sin(polar) * std::sin(around), -std::cos(polar)};
    const double n = std::sqrt(kEarthField.x * kEarthField.x + kEarthField.y * kEarthField.y + kEarthField.z * kEarthField.z);
    const double f[3] = {kEarthField.x / n, kEarthField.y / n, kEarthField.z / n};
    // The smallest rotation taking d to f (never half a turn: -f lies in the
    // other hemisphere), then a turn about f.
    auto rodrigues = [](const double axis[3], double c, double s, double m[3][3]) {
        const double x = axis[0], y = axis[1], z = axis[2], t = 1 - c;
        const double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                                {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                                {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
        std::memcpy(m, r, sizeof r);
    };
    double axis[3] = {d[1] * f[2] - d[2] * f[1], d[2] * f[0] - d[0] * f[2], d[0] * f[1] - d[1] * f[0]};
    const double s = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const double c = d[0] * f[0] + d[1] * f[1] + d[2] * f[2];
    double toField[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, spin[3][3], m[3][3];
    if (s > 1e-9) {
        for (double& a : axis) a /= s;
        rodrigues(axis, c, s, toField);
    }
    const double spinAngle = 2 * kPi * tau / 12.0;
    rodrigues(f, std::cos(spinAngle), std::sin(spinAngle), spin);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = spin[i][0] * toField[0][j] + spin[i][1] * toField[1][j] + spin[i][2] * toField[2][j];
    // Body to world is yaw about Z, pitch about Y, roll about X.
    return {std::atan2(m[2][1], m[2][2]) / kDeg, -std::asin(std::clamp(m[2][0], -1.0, 1.0)) / kDeg,
            std::atan2(m[1][0], m[0][0]) / kDeg};
}

void ModuleModel::BeginMotion(Motion motion, double now) {
    m_motionBase = EulerAt(now);
    m_motionStart = now;
    m_motion = motion;
}

Vec3 ModuleModel::RotationRateAt(double t) const {
    if (holdEuler || m_motion == Motion::Still) return {};
    const double h = 1e-3;
    const Vec3 a = EulerAt(t - h), b = EulerAt(t + h);
    return {Wrap180(b.x - a.x) / (2 * h), Wrap180(b.y - a.y) / (2 * h), Wrap180(b.z - a.z) / (2 * h)};
}

Vec3 ModuleModel::LinearAt(double t) const {
    if (m_motion == Motion::Still) return {};
    const double s = t - m_created;
    return {0.30 * std::sin(0.7 * s), 0.20 * std::sin(0.5 * s + 1.0), 0.10 * std::sin(0.9 * s)};
}

double ModuleModel::TemperatureAt(double t) const {
    const double s = t - m_created;
    double heat = 0;
    if (m_heatStart >= 0 && t >= m_heatStart) {
        const double until = m_heatEnd >= 0 ? std::min(t, m_heatEnd) : t;
        heat = std::min(kHeatMax, kHeatRate * (until - m_heatStart));
        if (m_heatEnd >= 0 && t > m_heatEnd) heat *= std::exp(-(t - m_heatEnd) / kCoolTime);
    }
    return 25.0 + 3.0 * (1.0 - std::exp(-s / 300.0)) + 0.2 * std::sin(s / 40.0) + heat;
}

// ---- sensors: raw = true scale x physical + true bias + coefficient x (T - 25);
// calibrated = (raw - bias - coefficient x (T - 25)) / scale with the tables.

namespace {
Vec3 SensorModel(const Vec3& physical, int first, double temperature, const CalibrationTables* cal,
                 const CalibrationTables& e = ModuleModel::TrueSensorErrors()) {
    const double dT = temperature - 25.0;
    double v[3];
    for (int i = 0; i < 3; ++i) {
        const size_t k = static_cast<size_t>(first + i);
        v[i] = e.scale[k] * Axis(physical, i) + e.bias[k] + e.tempCoeff[k] * dT;
        if (cal) {
            const double s = cal->scale[k] != 0 ? cal->scale[k] : 1.0;
            v[i] = (v[i] - cal->bias[k] - cal->tempCoeff[k] * dT) / s;
        }
    }
    return {v[0], v[1], v[2]};
}
}  // namespace

Vec3 ModuleModel::AccelerationAt(double t, bool calibrated) const {
    const Rotation r(EulerAt(t));
    const Vec3 lin = LinearAt(t);
    const Vec3 body = r.ToBody({lin.x / kGravity, lin.y / kGravity, 1.0 + lin.z / kGravity});
    const Vec3 v = SensorModel(body, 0, TemperatureAt(t), calibrated ? &m_cal : nullptr);
    return {v.x + 0.002 * Noise(t, 20), v.y + 0.002 * Noise(t, 21), v.z + 0.002 * Noise(t, 22)};
}

Vec3 ModuleModel::RotationRateSensorAt(double t, bool calibrated) const {
    const Vec3 v = SensorModel(RotationRateAt(t), 3, TemperatureAt(t), calibrated ? &m_cal : nullptr);
    return {v.x + 0.05 * Noise(t, 10), v.y + 0.05 * Noise(t, 11), v.z + 0.05 * Noise(t, 12)};
}

Vec3 ModuleModel::MagneticFieldAt(double t, bool calibrated) const {
    const double k = magField / kEarthFieldMagnitude;
    Vec3 body = Rotation(EulerAt(t)).ToBody({kEarthField.x * k, kEarthField.y * k, kEarthField.z * k});
    if (magInterference > 0 && (Noise(t, 33) + 1) / 2 < magInterference) {
        // Something magnetic near the module: this reading is off.
        body = {body.x + 0.3 * magField * Noise(t, 34), body.y + 0.3 * magField * Noise(t, 35),
                body.z + 0.3 * magField * Noise(t, 36)};
    }
    CalibrationTables errors = TrueSensorErrors();
    const double offset[3] = {magOffset.x, magOffset.y, magOffset.z}, scale[3] = {magScale.x, magScale.y, magScale.z};
    for (size_t i = 0; i < 3; ++i) {
        errors.bias[6 + i] = static_cast<float>(offset[i]);
        errors.scale[6 + i] = static_cast<float>(scale[i]);
    }
    const Vec3 v = SensorModel(body, 6, TemperatureAt(t), calibrated ? &m_cal : nullptr, errors);
    return {v.x + 0.2 * Noise(t, 30), v.y + 0.2 * Noise(t, 31), v.z + 0.2 * Noise(t, 32)};
}

Vec3 ModuleModel::Euler() const { return EulerAt(m_now); }

std::array<double, 4> ModuleModel::Quaternion() const {
    const Vec3 e = Euler();
    const double cr = std::cos(e.x * kDeg / 2), sr = std::sin(e.x * kDeg / 2);
    const double cp = std::cos(e.y * kDeg / 2), sp = std::sin(e.y * kDeg / 2);
    const double cy = std::cos(e.z * kDeg / 2), sy = std::sin(e.z * kDeg / 2);
    return {cr * cp * cy + sr * sp * sy, sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy,
            cr * cp * sy - sr * sp * cy};
}

Vec3 ModuleModel::RotationRate() const { return RotationRateSensorAt(m_now, true); }
Vec3 ModuleModel::AccelNoGravity() const { return LinearAt(m_now); }
Vec3 ModuleModel::Acceleration() const { return AccelerationAt(m_now, true); }
// While the magnetometer calibrates, the module reports what the sensor reads.
Vec3 ModuleModel::MagneticField() const { return MagneticFieldAt(m_now, m_calib != Calibration::Magnetometer); }
Vec3 ModuleModel::Velocity() const { return holdPosition ? Vec3{} : m_velocity; }
Vec3 ModuleModel::Position() const { return holdPosition ? *holdPosition : m_position; }
double ModuleModel::Temperature() const { return TemperatureAt(m_now) + 0.01 * Noise(m_now, 40); }
double ModuleModel::Voltage() const {
    const double s = m_now - m_created;
    return 5.02 + 0.03 * std::sin(s / 17.0) + 0.005 * Noise(m_now, 41);
}

int32_t ModuleModel::StatusWord() const {
    uint32_t s = raisedStatusBits & ~(od::STATUS_PROBE_KIND_MASK | od::STATUS_PROBE_READY);
    if (m_calib == Calibration::GyroAccel) s |= od::STATUS_CALIB_RUNNING_1;
    if (m_calib == Calibration::Magnetometer) s |= od::STATUS_CALIB_RUNNING_2;
    if (m_calib == Calibration::Temperature) s |= od::STATUS_CALIB_RUNNING_0;
    if (m_calibSucceeded) s |= od::STATUS_CALIB_SUCCESS;
    if (m_calibFailed) s |= od::STATUS_CALIB_FAILED;
    if (m_probeKind > 0) s |= static_cast<uint32_t>(m_probeKind) << 8;
    if (m_probeReady) s |= od::STATUS_PROBE_READY;
    return static_cast<int32_t>(s);
}

// ---- time -------------------------------------------------------------------

void ModuleModel::Advance(double now) {
    if (now < m_now) return;
    const double dt = now - m_lastAdvance;
    m_now = now;
    if (static_cast<int>(Config(od::OBJ_OPTIONS)) & 1) {
        // Integrate in steps of at most 10 ms so a long gap stays accurate.
        const int steps = std::max(1, static_cast<int>(std::ceil(dt / 0.01)));
        const double h = dt / steps;
        for (int i = 0; i < steps; ++i) {
            const Vec3 a = LinearAt(m_lastAdvance + (i + 0.5) * h);
            m_velocity.x += a.x * h;
            m_velocity.y += a.y * h;
            m_velocity.z += a.z * h;
            m_position.x += m_velocity.x * h;
            m_position.y += m_velocity.y * h;
            m_position.z += m_velocity.z * h;
        }
    }
    m_lastAdvance = now;

    if (m_calib == Calibration::Magnetometer) {
        const double until = m_calibHangs ? now : std::min(now, m_calibEnd);
        for (; m_nextMagSample <= until && m_magSamples.size() < 20000; m_nextMagSample += kMagSamplePeriod) {
            const Vec3 v = MagneticFieldAt(m_nextMagSample, false);
            m_magSamples.push_back({v.x, v.y, v.z});
        }
    }
    if (m_calib != Calibration::None && !m_calibHangs && now >= m_calibEnd) FinishCalibration(m_calibEnd, false);
    if (m_probeKind > 0 && !m_probeReady && now >= m_probeReadyAt) {
        FillProbe();
        m_probeReady = true;
    }
    if (m_restartPending && now >= m_silentUntil) Restart(m_silentUntil);
}

// ---- commands ---------------------------------------------------------------

void ModuleModel::Command(int32_t value, double now) {
    switch (value) {
    case od::CMD_FLASH_WRITE:
        m_flash = m_config;
        WriteFlash();
        m_silentUntil = now + kFlashWriteSilence;
        break;
    case od::CMD_FACTORY_DEFAULT:
        FactoryDefaults();
        m_silentUntil = now + kFactoryDefaultSilence;
        break;
    case od::CMD_CALIBRATE_GYRO_ACCEL: StartCalibration(Calibration::GyroAccel, now); break;
    case od::CMD_CALIBRATE_MAGNETOMETER: StartCalibration(Calibration::Magnetometer, now); break;
    case od::CMD_CALIBRATE_TEMPERATURE: StartCalibration(Calibration::Temperature, now); break;
    case od::CMD_SET_ZERO_ANGLE: {
        const Vec3 current = Euler();
        m_motionBase.x -= current.x;
        m_motionBase.y -= current.y;
        m_motionBase.z -= current.z;
        break;
    }
    case od::CMD_RESET_ANGLE:
        m_motionBase = {};
        m_motionStart = now;
        break;
    case od::CMD_RESET_POSITION:
        m_velocity = {};
        m_position = {};
        break;
    case od::CMD_RESET_CALIBRATION:
        if (m_calib != Calibration::None) break;  // not while a calibration runs
        m_cal = m_factoryCal;
        WriteFlash();
        m_silentUntil = now + kResetCalibrationSilence;
        break;
    case od::CMD_RESTART:
        m_silentUntil = now + kRestartSilence;
        m_restartPending = true;
        break;
    case od::CMD_PROBE_END:
        m_probeKind = 0;
        m_probeReady = false;
        break;
    default:
        if (value >= od::CMD_PROBE_FIRST && value <= od::CMD_PROBE_LAST) {
            if (probeIgnore > 0) {  // not confirmed: the status word stays as it was
                --probeIgnore;
                break;
            }
            m_probeKind = value - 1000;
            m_probeReady = false;
            const int delay = static_cast<int>(Config(od::OBJ_PROBE_DELAY));
            double capture = 0;
            switch (m_probeKind) {
            case 1:
            case 2: capture = 256 * delay * 1e-4; break;   // 10 kHz raw sampling
            case 7:
            case 8: capture = 1024 * delay * 1e-4; break;  // 1024-point FFT at 10 kHz
            default: capture = 256 * delay * 1e-3; break;  // 1 kHz
            }
            m_probeReadyAt = probeNeverReady ? kNever : now + 0.05 + capture;
        }
        break;
    }
}

void ModuleModel::StartCalibration(Calibration kind, double now) {
    if (m_calib != Calibration::None) return;  // one at a time
    double seconds = kind == Calibration::GyroAccel ? 4.0 : kind == Calibration::Magnetometer ? 30.0 : 10.0;
    if (auto it = calibrationSeconds.find(kind); it != calibrationSeconds.end()) seconds = it->second;
    m_calib = kind;
    m_calibStart = now;
    m_calibEnd = now + seconds;
    m_calibHangs = hangEveryCalibration || hangCalibration == kind;
    m_calibSucceeded = m_calibFailed = false;
    if (kind == Calibration::GyroAccel) BeginMotion(Motion::Still, now);  // the user keeps it still
    if (kind == Calibration::Magnetometer) {
        // The user turns it in all directions, in whatever time the procedure takes.
        m_tumbleSpeed = seconds > 0 && seconds < 30.0 ? 30.0 / seconds : 1.0;
        BeginMotion(Motion::Tumble, now);
        m_magSamples.clear();
        m_nextMagSample = now;
    }
    if (kind == Calibration::Temperature) {
        m_heatStart = now;
        m_heatEnd = -1;
    }
}

void ModuleModel::EndCalibration(double now) {
    if (m_calib == Calibration::None) return;
    Advance(now);
    if (m_calib != Calibration::None) FinishCalibration(std::max(m_calibStart, std::min(now, m_now)), true);
}

void ModuleModel::FinishCalibration(double t, bool /*byRequest*/) {
    const Calibration kind = m_calib;
    bool ok = !(failEveryCalibration || failCalibration == kind);
    CalibrationTables result = m_cal;
    const CalibrationTables& truth = TrueSensorErrors();
    if (kind == Calibration::GyroAccel) {
        for (size_t i = 0; i < 6; ++i) {
            result.bias[i] = truth.bias[i];
            result.scale[i] = truth.scale[i];
        }
        const Vec3 e = EulerAt(t);
        result.gravityAngle = {static_cast<float>(e.x), static_cast<float>(e.y), 0.0f};
    } else if (kind == Calibration::Magnetometer) {
        const auto fit = FitAxisAlignedEllipsoid(m_magSamples);
        if (!fit || fit->residual > kMagMaxResidual || CoveredSectors(m_magSamples, fit->centre, fit->radii) < kMagMinSectors) {
            ok = false;  // not turned far enough (or held still)
        } else {
            const double c[3] = {fit->centre.x, fit->centre.y, fit->centre.z};
            const double r[3] = {fit->radii.x, fit->radii.y, fit->radii.z};
            for (size_t i = 0; i < 3; ++i) {
                result.bias[6 + i] = static_cast<float>(c[i]);
                result.scale[6 + i] = static_cast<float>(r[i] / kEarthFieldMagnitude);
            }
        }
    } else if (kind == Calibration::Temperature) {
        const double rise = std::min(kHeatMax, kHeatRate * (t - m_heatStart));
        if (rise < kHeatMinRise) ok = false;  // too little change of temperature to measure
        else result.tempCoeff = truth.tempCoeff;
        m_heatEnd = t;
    }
    if (m_motion != Motion::Normal) BeginMotion(Motion::Normal, t);
    m_calib = Calibration::None;
    m_calibHangs = false;
    if (ok) {
        m_cal = result;
        m_calibSucceeded = true;
        WriteFlash();  // the module keeps its calibration at once
    } else {
        m_calibFailed = true;
    }
}

void ModuleModel::Restart(double t) {
    m_restartPending = false;
    m_config = m_flash;
    m_activeBaud1 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART1));
    m_activeBaud2 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART2));
    m_activeGyroScale = static_cast<int>(Config(od::OBJ_GYRO_FULL_SCALE));
    m_activeAccelScale = static_cast<int>(Config(od::OBJ_ACCEL_FULL_SCALE));
    m_boot = t;
    m_probeKind = 0;
    m_probeReady = false;
    if (m_calib == Calibration::Temperature) m_heatEnd = t;
    m_calib = Calibration::None;
    m_calibHangs = false;
    m_calibSucceeded = m_calibFailed = false;
    m_velocity = m_position = {};
    m_motion = Motion::Normal;
    m_motionBase = {};
    m_motionStart = t;
}

std::string ModuleModel::TextLine(const std::string& line, double now) {
    Advance(now);
    if (IsSilent(now)) return {};
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (text == "/f") {
        m_factoryCal = m_cal;
        WriteFlash();
        m_silentUntil = now + kFactorySaveSilence;
        return "factory calibration saved\r\n";
    }
    return {};
}

// ---- vibration sources --------------------------------------------------------

Vec3 ModuleModel::Vibration3(double t, int source) const {
    const double nyquist = (source == 1 || source == 2) ? 5000.0 : 500.0;
    Vec3 v;
    if (toneHz > 0 && toneHz < nyquist) v.x = toneAmplitude * std::sin(2 * kPi * toneHz * t);
    if (toneHz > 0 && 1.7 * toneHz < nyquist) v.y = 0.5 * toneAmplitude * std::sin(2 * kPi * 1.7 * toneHz * t);
    if (vibrationHz > 0 && vibrationHz < nyquist) {
        const double zeta = Ratio(vibrationRatio);
        const double wn = 2 * kPi * vibrationHz / std::sqrt(1 - zeta * zeta);
        double since = std::fmod(t, 0.5);  // an impact every 0.5 s
        if (since < 0) since += 0.5;
        v.z = vibrationAmplitude * std::exp(-zeta * wn * since) * std::sin(2 * kPi * vibrationHz * since);
    }
    return v;
}

std::vector<double> ModuleModel::SourceSignal(int source, int axis, int n, double rate, double tEnd) const {
    const double noise = (source == 1 || source == 2) ? 0.02 : 0.005;
    std::vector<double> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = tEnd - (n - i) / rate;
        s[static_cast<size_t>(i)] = Axis(Vibration3(t, source), axis) + noise * Noise(t, 50 + axis);
    }
    return s;
}

void ModuleModel::ComputeSpectrum() const {
    const int source = static_cast<int>(Config(od::OBJ_FFT_SOURCE));
    if (m_spectrumAt >= 0 && m_now - m_spectrumAt < 0.1 && m_now >= m_spectrumAt && source == m_spectrumSource) return;
    m_spectrumAt = m_now;
    m_spectrumSource = source;
    m_spectrum.fill(0);
    m_peaks.fill(0);
    if (source < 1 || source > 4) return;
    const double rate = source <= 2 ? 10000.0 : 1000.0;
    const int n = 1024;
    const double span = rate / 2;
    std::vector<double> flat[3];
    double fullScale = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const std::vector<double> signal = SourceSignal(source, axis, n, rate, m_now);
        const std::vector<double> hann = AmplitudeSpectrum(signal, Window::Hann);
        flat[axis] = AmplitudeSpectrum(signal, Window::FlatTop);
        size_t best = 1;
        for (size_t k = 1; k < hann.size(); ++k)
            if (hann[k] > hann[best]) best = k;
        // Gaussian interpolation of the Hann peak for the frequency, the
        // flat-top spectrum for the magnitude.
        double offset = 0;
        if (best + 1 < hann.size() && hann[best - 1] > 0 && hann[best] > 0 && hann[best + 1] > 0) {
            const double l = std::log(hann[best - 1]), c = std::log(hann[best]), r = std::log(hann[best + 1]);
            const double d = l - 2 * c + r;
            if (d < 0) offset = std::clamp(0.5 * (l - r) / d, -0.5, 0.5);
        }
        double magnitude = 0;
        for (size_t k = best > 3 ? best - 3 : 0; k <= best + 3 && k < flat[axis].size(); ++k)
            magnitude = std::max(magnitude, flat[axis][k]);
        m_peaks[static_cast<size_t>(2 * axis)] = static_cast<float>((static_cast<double>(best) + offset) * rate / n);
        m_peaks[static_cast<size_t>(2 * axis + 1)] = static_cast<float>(magnitude);
    }
    // Bin i stands for the frequencies around i x span / 100.
    double bins[3][od::kSpectrumBins] = {};
    for (int axis = 0; axis < 3; ++axis)
        for (size_t k = 0; k < flat[axis].size(); ++k) {
            const double f = static_cast<double>(k) * rate / n;
            const int b = static_cast<int>(std::floor(f * 100.0 / span + 0.5));
            if (b < 0 || b >= od::kSpectrumBins) continue;
            bins[axis][b] = std::max(bins[axis][b], flat[axis][k]);
            fullScale = std::max(fullScale, bins[axis][b]);
        }
    // The smallest whole full scale that every bin fits (10 bits hold 1023/1000 of it).
    const int scale = std::clamp(static_cast<int>(std::ceil(fullScale / 1.023)), 1, 0xFFFF);
    for (int b = 0; b < od::kSpectrumBins; ++b) {
        uint32_t word = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const uint32_t q = static_cast<uint32_t>(std::min(1023.0, std::round(bins[axis][b] / scale * 1000.0)));
            word |= q << (10 * axis);
        }
        m_spectrum[static_cast<size_t>(b)] = static_cast<int32_t>(word);
    }
    m_spectrum[99] = static_cast<int32_t>((static_cast<uint32_t>(scale) << 16) | static_cast<uint32_t>(span));
}

std::array<float, 6> ModuleModel::Peaks() const {
    ComputeSpectrum();
    return m_peaks;
}

std::array<int32_t, 100> ModuleModel::Spectrum() const {
    ComputeSpectrum();
    return m_spectrum;
}

std::array<float, 3> ModuleModel::Vibration() const {
    // The detector reports the ringing of the impacts on the filtered source
    // when they exceed the source's magnitude threshold.
    const int source = static_cast<int>(Config(od::OBJ_VIBRATION_SOURCE));
    if (source < 1 || source > 2) return {0, 0, 0};
    const double threshold = Config(source == 1 ? od::OBJ_ACCEL_THRESHOLD : od::OBJ_GYRO_THRESHOLD);
    if (!(vibrationHz > 0 && vibrationHz < 500.0) || !(std::fabs(vibrationAmplitude) > threshold)) return {0, 0, 0};
    return {static_cast<float>(vibrationHz), static_cast<float>(vibrationRatio), static_cast<float>(vibrationAmplitude)};
}

// ---- probe ------------------------------------------------------------------

void ModuleModel::FillProbe() {
    const od::ProbeKind* kind = nullptr;
    for (int i = 0; i < od::kProbeKindCount; ++i)
        if (od::ProbeKindAt(i)->command == 1000 + m_probeKind) kind = od::ProbeKindAt(i);
    m_probe.assign(1024, 0);
    if (kind == nullptr) return;
    const int samples = kind->samples;
    const bool spectrum = m_probeKind == 7 || m_probeKind == 8;
    auto put = [&](int c, int i, double v) {
        m_probe[static_cast<size_t>(c * samples + i)] =
            static_cast<int32_t>(std::llround(std::clamp(v, -2147483648.0, 2147483647.0)));
    };
    if (probeWave != ProbeWave::Sensor) {
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < samples; ++i) {
                double v = 0;
                if (spectrum) {
                    if (probeWave == ProbeWave::Sine) v = i == 16 * (c + 1) ? (c + 1) * 1e6 : 0;
                    if (probeWave == ProbeWave::Ramp) v = (c + 1) * 1000.0 * i;
                    if (probeWave == ProbeWave::Square) v = i % 64 < 32 ? (c + 1) * 1e6 : 0;
                } else {
                    const double a = 1000.0 * (c + 1);
                    if (probeWave == ProbeWave::Sine) v = std::round(a * std::sin(2 * kPi * i / 64.0));
                    if (probeWave == ProbeWave::Ramp) v = 10.0 * (c + 1) * (i - 128);
                    if (probeWave == ProbeWave::Square) v = i % 64 < 32 ? a : -a;
                }
                put(c, i, v);
            }
        return;
    }
    const int delay = std::max(1, static_cast<int>(Config(od::OBJ_PROBE_DELAY)));
    if (spectrum) {
        const double rate = 10000.0 / delay;
        for (int axis = 0; axis < 3; ++axis) {
            const auto amp = AmplitudeSpectrum(SourceSignal(m_probeKind == 7 ? 1 : 2, axis, 1024, rate, m_now));
            for (int k = 0; k < samples; ++k) put(axis, k, amp[static_cast<size_t>(k)] * 1e6);
        }
        return;
    }
    const bool fast = m_probeKind == 1 || m_probeKind == 2;
    const double step = (fast ? 1e-4 : 1e-3) * delay;
    const double dps[4] = {250, 500, 1000, 2000}, gs[4] = {2, 4, 8, 16};
    const double gyroCounts = 32768.0 / dps[std::clamp(m_activeGyroScale, 0, 3)];
    const double accelCounts = 32768.0 / gs[std::clamp(m_activeAccelScale, 0, 3)];
    const bool magCalibrated = m_calib != Calibration::Magnetometer;
    for (int i = 0; i < samples; ++i) {
        const double t = m_now - (samples - i) * step;
        Vec3 v;
        double factor = 1, limit = 2147483647.0;
        switch (m_probeKind) {
        case 1: v = RotationRateSensorAt(t, false), factor = gyroCounts, limit = 32767; break;
        case 2: v = AccelerationAt(t, false), factor = accelCounts, limit = 32767; break;
        case 3: v = MagneticFieldAt(t, false), factor = 1.0 / 0.15, limit = 32767; break;  // 0.15 uT per count
        case 4: v = RotationRateSensorAt(t, true), factor = 1000.0; break;
        case 5: v = AccelerationAt(t, true), factor = 1000.0; break;
        case 6: v = MagneticFieldAt(t, magCalibrated), factor = 1000.0; break;
        default: break;
        }
        // The vibration sources shake the accelerometer (m/s^2) and the gyroscope.
        if (m_probeKind == 1 || m_probeKind == 4 || m_probeKind == 2 || m_probeKind == 5) {
            const bool gyro = m_probeKind == 1 || m_probeKind == 4;
            const Vec3 s = Vibration3(t, fast ? (gyro ? 2 : 1) : (gyro ? 4 : 3));
            const double k = gyro ? 1.0 : 1.0 / kGravity;
            v = {v.x + s.x * k, v.y + s.y * k, v.z + s.z * k};
        }
        for (int c = 0; c < 3; ++c) put(c, i, std::clamp(std::round(Axis(v, c) * factor), -limit - 1, limit));
    }
}

// ---- objects ----------------------------------------------------------------

double ModuleModel::Element(uint16_t index, int e) const {
    if (auto it = m_forced.find({index, e}); it != m_forced.end()) return it->second;
    const size_t u = static_cast<size_t>(e);
    switch (index) {
    case od::OBJ_PRODUCT_ID: return productId;
    case od::OBJ_FIRMWARE_VERSION: return firmwareVersion;
    case od::OBJ_HARDWARE_VERSION: return hardwareVersion;
    case od::OBJ_STATUS: return StatusWord();
    case od::OBJ_COMMAND: return 0;
    case od::OBJ_VOLTAGE: return Voltage();
    case od::OBJ_TEMPERATURE: return Temperature();
    case od::OBJ_ACCELERATION: return Axis(Acceleration(), e);
    case od::OBJ_ROTATION_RATE: return Axis(RotationRate(), e);
    case od::OBJ_MAGNETIC_FIELD: return Axis(MagneticField(), e);
    case od::OBJ_ACCEL_NO_GRAVITY: return Axis(AccelNoGravity(), e);
    case od::OBJ_EULER: return Axis(Euler(), e);
    case od::OBJ_VELOCITY: return Axis(Velocity(), e);
    case od::OBJ_POSITION: return Axis(Position(), e);
    case od::OBJ_VIBRATION: return Vibration()[u];
    case od::OBJ_PEAK: return Peaks()[u];
    case od::OBJ_SPECTRUM: return Spectrum()[u];
    case od::OBJ_CALIB_BIAS: return m_cal.bias[u];
    case od::OBJ_CALIB_SCALE: return m_cal.scale[u];
    case od::OBJ_CALIB_TEMP_COEFF: return m_cal.tempCoeff[u];
    case od::OBJ_GRAVITY_ANGLE: return m_cal.gravityAngle[u];
    default:
        if (index >= od::OBJ_PROBE_BUFFER && index <= od::OBJ_PROBE_BUFFER + 3) {
            const size_t n = static_cast<size_t>((index - od::OBJ_PROBE_BUFFER) * 256 + e);
            return n < m_probe.size() ? m_probe[n] : 0;
        }
        return Config(index);
    }
}

std::vector<uint8_t> ModuleModel::Handle(const uint8_t* bytes, double now) {
    frame::Request req;
    if (!frame::ParseRequest(bytes, &req)) return {};
    return Handle(req, now);
}

std::vector<uint8_t> ModuleModel::Handle(const frame::Request& req, double now) {
    Advance(now);
    if (IsSilent(now)) return {};
    if (req.deviceId != deviceId) return {};
    const uint8_t op = req.op;
    const uint16_t index = req.index;
    const uint8_t sub = req.subIndex;
    for (auto it = m_ignored.begin(); it != m_ignored.end(); ++it)
        if (it->index == index && (it->sub < 0 || it->sub == sub)) {
            if (--it->count <= 0) m_ignored.erase(it);
            return {};
        }
    const od::ObjectInfo* info = od::Find(index);
    if (info == nullptr) return {};
    const uint8_t type = info->type;
    uint8_t data[4 * frame::kMaxReplyElements] = {};
    std::vector<uint8_t> reply(frame::Length(frame::kMaxReplyElements));

    if (op == frame::OP_GET_REQUEST) {
        const int available = ElementsOf(index) - sub;
        if (available <= 0) return {};
        const int wanted = std::max(1, static_cast<int>(req.element[0]));
        const int n = std::min({wanted, available, frame::kMaxReplyElements});
        for (int i = 0; i < n; ++i) PutElement(data + 4 * i, type, Element(index, sub + i));
        reply.resize(frame::Build(reply.data(), deviceId, static_cast<uint8_t>(frame::OP_GET_REPLY | type), index, sub, data, n));
        return reply;
    }
    if (op == frame::OP_SET_REQUEST) {
        const double value = frame::ReadElement(req.type, req.element);
        if (index == od::OBJ_COMMAND) {
            const double command = ToInt32(value);
            PutElement(data, type, command);
            Command(static_cast<int32_t>(command), now);
        } else if (IsConfigObject(index)) {
            SetConfig(index, value);
            PutElement(data, type, Config(index));
        } else {
            PutElement(data, type, Element(index, 0));  // read-only: echo what it holds
        }
        reply.resize(frame::Build(reply.data(), deviceId, static_cast<uint8_t>(frame::OP_SET_REPLY | type), index, 0, data, 1));
        return reply;
    }
    return {};
}

std::string ModuleModel::SyncLine(double now) const {
    const uint32_t selection = static_cast<uint32_t>(Config(od::OBJ_SYNC_SELECTION));
    std::string line;
    char buf[160];
    auto add = [&](const char* tag, std::initializer_list<double> values, const char* fmt) {
        line += line.empty() ? "" : ",";
        line += tag;
        for (double v : values) {
            std::snprintf(buf, sizeof buf, fmt, v);
            line += ",";
            line += buf;
        }
    };
    const Vec3 acc = Acceleration(), gyr = RotationRate(), mag = MagneticField(), lin = AccelNoGravity();
    const Vec3 eul = Euler(), vel = Velocity(), pos = Position();
    const auto q = Quaternion();
    if (selection & 0x1) add("time", {std::floor((now - m_boot) * 1000.0)}, "%.0f");
    if (selection & 0x2) add("temp", {Temperature()}, "%.2f");
    if (selection & 0x4) add("acc", {acc.x, acc.y, acc.z}, "%.4f");
    if (selection & 0x8) add("gyro", {gyr.x, gyr.y, gyr.z}, "%.3f");
    if (selection & 0x10) add("mag", {mag.x, mag.y, mag.z}, "%.2f");
    if (selection & 0x20) add("lin", {lin.x, lin.y, lin.z}, "%.4f");
    if (selection & 0x40) add("euler", {eul.x, eul.y, eul.z}, "%.2f");
    if (selection & 0x80) add("quat", {q[0], q[1], q[2], q[3]}, "%.5f");
    if (selection & 0x100) add("vel", {vel.x, vel.y, vel.z}, "%.4f");
    if (selection & 0x200) add("pos", {pos.x, pos.y, pos.z}, "%.4f");
    if (selection & 0x400) {
        const auto p = Peaks();
        add("freq", {p[0], p[1], p[2], p[3], p[4], p[5]}, "%.3f");
    }
    if (selection & 0x800) {
        const auto v = Vibration();
        add("vibr", {v[0], v[1], v[2]}, "%.4f");
    }
    if (line.size() > 250) line.resize(250);  // the module cuts a line at 252 bytes with CR LF
    return line;
}

// ---- flash ------------------------------------------------------------------

void ModuleModel::WriteFlash() {
    if (statePath.empty()) return;
    const std::string temp = statePath + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << StateText();
        if (!out) return;
    }
    std::rename(temp.c_str(), statePath.c_str());
}

std::string ModuleModel::StateText() const {
    std::ostringstream out;
    out.precision(9);
    for (const auto& [index, value] : m_flash) out << "0x" << std::hex << index << std::dec << " " << value << "\n";
    auto table = [&out](const char* name, const auto& values) {
        out << name;
        for (float v : values) out << " " << v;
        out << "\n";
    };
    table("bias", m_cal.bias);
    table("scale", m_cal.scale);
    table("tempcoeff", m_cal.tempCoeff);
    table("gravity", m_cal.gravityAngle);
    table("factory-bias", m_factoryCal.bias);
    table("factory-scale", m_factoryCal.scale);
    table("factory-tempcoeff", m_factoryCal.tempCoeff);
    table("factory-gravity", m_factoryCal.gravityAngle);
    return out.str();
}

void ModuleModel::LoadStateText(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        auto table = [&words](auto& values) {
            for (auto& v : values) words >> v;
        };
        if (key == "bias") table(m_cal.bias);
        else if (key == "scale") table(m_cal.scale);
        else if (key == "tempcoeff") table(m_cal.tempCoeff);
        else if (key == "gravity") table(m_cal.gravityAngle);
        else if (key == "factory-bias") table(m_factoryCal.bias);
        else if (key == "factory-scale") table(m_factoryCal.scale);
        else if (key == "factory-tempcoeff") table(m_factoryCal.tempCoeff);
        else if (key == "factory-gravity") table(m_factoryCal.gravityAngle);
        else if (key.rfind("0x", 0) == 0) {
            double value = 0;
            char* end = nullptr;
            const unsigned long index = std::strtoul(key.c_str(), &end, 16);
            if (*end == '\0' && index <= 0xFFFF && (words >> value)) SetConfig(static_cast<uint16_t>(index), value);
        }
    }
    // What the module starts with: the flash holds it, the ports and the
    // sensor chip run with it.
    m_flash = m_config;
    m_activeBaud1 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART1));
    m_activeBaud2 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART2));
    m_activeGyroScale = static_cast<int>(Config(od::OBJ_GYRO_FULL_SCALE));
    m_activeAccelScale = static_cast<int>(Config(od::OBJ_ACCEL_FULL_SCALE));
}

}  // namespace sim
