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
#include <numbers>
#include <sstream>

namespace sim {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;
constexpr double kGravity = 9.80665;

double Wrap180(double a) {
    a = std::fmod(a + 180.0, 360.0);
    if (a < 0) a += 360.0;
    return a - 180.0;
}

// Deterministic noise in [-1, 1] from a time and a channel, so that two reads
// at the same instant agree and runs are repeatable.
double Noise(double t, int channel) {
    uint64_t x = static_cast<uint64_t>(t * 1e4) * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(channel) * 0xBF58476D1CE4E5B9ull;
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

const Vec3 kEarthField{22.0, 4.5, -41.0};  // uT, world frame

bool IsBaud(double v) {
    for (uint32_t rate : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u})
        if (v == rate) return true;
    return false;
}

void PutElement(uint8_t* out, uint8_t type, double value) {
    if (type == OBJ_FLOAT32) {
        const float f = static_cast<float>(value);
        std::memcpy(out, &f, 4);
        return;
    }
    const int32_t i = static_cast<int32_t>(std::llround(std::clamp(value, -2147483648.0, 2147483647.0)));
    const uint32_t u = static_cast<uint32_t>(i);
    for (int b = 0; b < 4; ++b) out[b] = static_cast<uint8_t>(u >> (8 * b));
}

double TakeElement(const uint8_t* in, uint8_t type) {
    switch (type) {
    case OBJ_INT8: return static_cast<int8_t>(in[0]);
    case OBJ_INT16: return static_cast<int16_t>(in[0] | (in[1] << 8));
    case OBJ_INT32: {
        uint32_t u = 0;
        for (int b = 0; b < 4; ++b) u |= static_cast<uint32_t>(in[b]) << (8 * b);
        return static_cast<int32_t>(u);
    }
    case OBJ_FLOAT32: {
        float f;
        std::memcpy(&f, in, 4);
        return f;
    }
    default: return 0;
    }
}

int ElementsOf(uint16_t index) {
    if (index >= od::OBJ_PROBE_BUFFER && index <= od::OBJ_PROBE_BUFFER + 3) return 256;
    const od::ObjectInfo* info = od::Find(index);
    return info ? info->count : 0;
}

}  // namespace

ModuleModel::ModuleModel(double now) : m_now(now), m_start(now), m_attitudeOrigin(now), m_lastAdvance(now) {
    FactoryDefaults();
    ResetCalibration();
}

void ModuleModel::FactoryDefaults() {
    m_config = {
        {0x09, 0},      {0x0b, 115200}, {0x0c, 115200}, {0x0f, 0},    {0x10, 3},   {0x11, 1},   {0x12, 3},
        {0x14, 1.0},    {0x15, 0.1},    {0x16, 0.05},   {0x17, 0.01}, {0x19, 0.5}, {0x1a, 1.0}, {0x1c, 0.1},
        {0x1e, 1},      {0x1f, 100},    {0x20, 0},      {0x22, 3},    {0x23, 1},   {0x24, 1.0}, {0x25, 10.0},
        {0x07, 1},
    };
}

void ModuleModel::ResetCalibration() {
    m_bias.fill(0);
    m_scale.fill(1);
    m_tempCoeff.fill(0);
    m_gravityAngle = {0, 0, 0};
}

double ModuleModel::Config(uint16_t index) const {
    auto it = m_config.find(index);
    return it == m_config.end() ? 0 : it->second;
}

void ModuleModel::SetConfig(uint16_t index, double value) {
    const od::ObjectInfo* info = od::Find(index);
    if (info == nullptr || !std::isfinite(value)) return;
    if (info->type != OBJ_FLOAT32) value = std::trunc(value);
    if (index == od::OBJ_BAUD_UART1 || index == od::OBJ_BAUD_UART2) {
        if (!IsBaud(value)) return;  // the module keeps its rate
    } else if (index == od::OBJ_SYNC_SELECTION) {
        value = static_cast<double>(static_cast<uint32_t>(static_cast<int64_t>(value)) & 0xFFFu);
    } else if (info->minimum < info->maximum) {
        value = std::clamp(value, info->minimum, info->maximum);
    }
    m_config[index] = value;
}

Vec3 ModuleModel::Euler() const {
    if (holdEuler) return *holdEuler;
    const double t = m_now - m_attitudeOrigin;
    const Vec3 raw{12.0 * std::sin(0.31 * t), 7.0 * std::sin(0.23 * t + 0.5) - 7.0 * std::sin(0.5), 8.0 * t};
    return {Wrap180(raw.x - m_zero.x), Wrap180(raw.y - m_zero.y), Wrap180(raw.z - m_zero.z)};
}

std::array<double, 4> ModuleModel::Quaternion() const {
    const Vec3 e = Euler();
    const double cr = std::cos(e.x * kDeg / 2), sr = std::sin(e.x * kDeg / 2);
    const double cp = std::cos(e.y * kDeg / 2), sp = std::sin(e.y * kDeg / 2);
    const double cy = std::cos(e.z * kDeg / 2), sy = std::sin(e.z * kDeg / 2);
    return {cr * cp * cy + sr * sp * sy, sr * cp * cy - cr * sp * sy, cr * sp * cy + sr * cp * sy,
            cr * cp * sy - sr * sp * cy};
}

Vec3 ModuleModel::RotationRate() const {
    if (holdEuler) return {0.02 * Noise(m_now, 10), 0.02 * Noise(m_now, 11), 0.02 * Noise(m_now, 12)};
    const double t = m_now - m_attitudeOrigin;
    return {12.0 * 0.31 * std::cos(0.31 * t) + 0.05 * Noise(m_now, 10),
            7.0 * 0.23 * std::cos(0.23 * t + 0.5) + 0.05 * Noise(m_now, 11), 8.0 + 0.05 * Noise(m_now, 12)};
}

Vec3 ModuleModel::AccelNoGravity() const {
    const double t = m_now - m_start;
    return {0.30 * std::sin(0.7 * t), 0.20 * std::sin(0.5 * t + 1.0), 0.10 * std::sin(0.9 * t)};
}

Vec3 ModuleModel::Acceleration() const {
    const Rotation r(Euler());
    const Vec3 lin = AccelNoGravity();
    const Vec3 world{lin.x / kGravity, lin.y / kGravity, 1.0 + lin.z / kGravity};
    const Vec3 body = r.ToBody(world);
    return {body.x + 0.002 * Noise(m_now, 20), body.y + 0.002 * Noise(m_now, 21), body.z + 0.002 * Noise(m_now, 22)};
}

Vec3 ModuleModel::MagneticField() const {
    const Vec3 body = Rotation(Euler()).ToBody(kEarthField);
    return {body.x + 0.2 * Noise(m_now, 30), body.y + 0.2 * Noise(m_now, 31), body.z + 0.2 * Noise(m_now, 32)};
}

Vec3 ModuleModel::Position() const { return holdPosition ? *holdPosition : m_position; }

double ModuleModel::Temperature() const {
    const double t = m_now - m_start;
    return 25.0 + 3.0 * (1.0 - std::exp(-t / 300.0)) + 0.2 * std::sin(t / 40.0) + 0.01 * Noise(m_now, 40);
}

double ModuleModel::Voltage() const { return 5.02 + 0.01 * Noise(m_now, 41); }

int32_t ModuleModel::StatusWord() const {
    uint32_t s = raisedStatusBits & ~(od::STATUS_PROBE_KIND_MASK | od::STATUS_PROBE_READY);
    if (m_calibCommand == od::CMD_CALIBRATE_GYRO_ACCEL) s |= od::STATUS_CALIB_RUNNING_1;
    if (m_calibCommand == od::CMD_CALIBRATE_MAGNETOMETER) s |= od::STATUS_CALIB_RUNNING_2;
    if (m_calibCommand == od::CMD_CALIBRATE_TEMPERATURE) s |= od::STATUS_CALIB_RUNNING_0;
    if (m_calibSucceeded) s |= od::STATUS_CALIB_SUCCESS;
    if (m_calibFailed) s |= od::STATUS_CALIB_FAILED;
    if (m_probeKind > 0) s |= static_cast<uint32_t>(m_probeKind) << 8;
    if (m_probeReady) s |= od::STATUS_PROBE_READY;
    return static_cast<int32_t>(s);
}

void ModuleModel::Advance(double now) {
    if (now < m_now) return;
    const double dt = now - m_lastAdvance;
    m_now = now;
    if (static_cast<int>(Config(od::OBJ_OPTIONS)) & 1) {
        // Integrate in steps of at most 10 ms so a long gap stays accurate.
        const int steps = std::max(1, static_cast<int>(std::ceil(dt / 0.01)));
        const double h = dt / steps;
        const double t0 = m_lastAdvance - m_start;
        for (int i = 0; i < steps; ++i) {
            const double t = t0 + (i + 0.5) * h;
            const Vec3 a{0.30 * std::sin(0.7 * t), 0.20 * std::sin(0.5 * t + 1.0), 0.10 * std::sin(0.9 * t)};
            m_velocity.x += a.x * h;
            m_velocity.y += a.y * h;
            m_velocity.z += a.z * h;
            m_position.x += m_velocity.x * h;
            m_position.y += m_velocity.y * h;
            m_position.z += m_velocity.z * h;
        }
    }
    m_lastAdvance = now;

    if (m_calibCommand != 0 && now >= m_calibEnd) {
        const int32_t done = m_calibCommand;
        m_calibCommand = 0;
        // The magnetometer needs the module turned: held still it fails.
        if (done == od::CMD_CALIBRATE_MAGNETOMETER && holdEuler) {
            m_calibFailed = true;
        } else {
            m_calibSucceeded = true;
            if (done == od::CMD_CALIBRATE_GYRO_ACCEL) {
                const float bias[6] = {0.0123f, -0.0081f, 0.0214f, 0.412f, -0.275f, 0.118f};
                const float scale[6] = {1.0021f, 0.9987f, 1.0012f, 1.0105f, 0.9948f, 1.0033f};
                for (int i = 0; i < 6; ++i) {
                    m_bias[i] = bias[i];
                    m_scale[i] = scale[i];
                }
                const Vec3 e = Euler();
                m_gravityAngle = {static_cast<float>(e.x), static_cast<float>(e.y), 0.0f};
            } else if (done == od::CMD_CALIBRATE_MAGNETOMETER) {
                const float bias[3] = {3.71f, -1.94f, 6.02f}, scale[3] = {1.031f, 0.978f, 1.012f};
                for (int i = 0; i < 3; ++i) {
                    m_bias[6 + i] = bias[i];
                    m_scale[6 + i] = scale[i];
                }
            } else {
                const float coeff[9] = {0.0011f, -0.0007f, 0.0015f, 0.012f, -0.009f, 0.004f, 0.021f, -0.013f, 0.008f};
                std::copy(coeff, coeff + 9, m_tempCoeff.begin());
            }
        }
    }
    if (m_probeKind > 0 && !m_probeReady && now >= m_probeReadyAt) {
        FillProbe();
        m_probeReady = true;
    }
    if (m_restartUntil > 0 && now >= m_restartUntil) {
        m_restartUntil = 0;
        m_activeBaud1 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART1));
        m_activeBaud2 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART2));
    }
}

void ModuleModel::Command(int32_t value, double now) {
    switch (value) {
    case od::CMD_FLASH_WRITE:
        if (!statePath.empty()) {
            const std::string temp = statePath + ".tmp";
            {
                std::ofstream out(temp, std::ios::trunc);
                out << StateText();
            }
            std::rename(temp.c_str(), statePath.c_str());
        }
        break;
    case od::CMD_FACTORY_DEFAULT: FactoryDefaults(); break;
    case od::CMD_CALIBRATE_GYRO_ACCEL:
    case od::CMD_CALIBRATE_MAGNETOMETER:
    case od::CMD_CALIBRATE_TEMPERATURE:
        m_calibCommand = value;
        m_calibSucceeded = m_calibFailed = false;
        m_calibEnd = now + (value == od::CMD_CALIBRATE_GYRO_ACCEL ? 4.0 : value == od::CMD_CALIBRATE_MAGNETOMETER ? 30.0 : 10.0);
        break;
    case od::CMD_SET_ZERO_ANGLE: {
        const Vec3 current = Euler();
        m_zero.x += current.x;
        m_zero.y += current.y;
        m_zero.z += current.z;
        break;
    }
    case od::CMD_RESET_ANGLE:
        m_zero = {};
        m_attitudeOrigin = now;
        break;
    case od::CMD_RESET_POSITION:
        m_velocity = {};
        m_position = {};
        break;
    case od::CMD_RESET_CALIBRATION: ResetCalibration(); break;
    case od::CMD_RESTART: m_restartUntil = now + 1.0; break;
    case od::CMD_PROBE_END:
        m_probeKind = 0;
        m_probeReady = false;
        break;
    default:
        if (value >= od::CMD_PROBE_FIRST && value <= od::CMD_PROBE_LAST) {
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
            m_probeReadyAt = now + 0.05 + capture;
        }
        break;
    }
}

std::vector<double> ModuleModel::SourceSignal(int source, int axis, int n, double rate, double t0) const {
    // Each axis carries one tone (x at the configured tone, y and z at other
    // frequencies and smaller amplitudes) plus decaying impacts every 0.5 s
    // at the tone frequency with a damping ratio of 0.05, plus noise.
    const double f[3] = {toneHz, toneHz * 1.7, toneHz * 2.9};
    const double a[3] = {toneAmplitude, toneAmplitude * 0.5, toneAmplitude * 0.25};
    const double unit = (source == 2 || source == 4) ? 10.0 : 1.0;  // deg/s sources read larger
    std::vector<double> s(static_cast<size_t>(n));
    const double zeta = 0.05, wn = 2 * kPi * toneHz / std::sqrt(1 - zeta * zeta);
    for (int i = 0; i < n; ++i) {
        const double t = t0 + i / rate;
        double v = a[axis] * std::sin(2 * kPi * f[axis] * t);
        const double since = std::fmod(t, 0.5);
        v += 0.5 * a[axis] * std::exp(-zeta * wn * since) * std::sin(2 * kPi * toneHz * since);
        v += 0.01 * Noise(t, 50 + axis);
        s[static_cast<size_t>(i)] = v * unit;
    }
    return s;
}

void ModuleModel::ComputeSpectrum() const {
    const int source = static_cast<int>(Config(od::OBJ_FFT_SOURCE));
    if (m_spectrumAt >= 0 && m_now - m_spectrumAt < 0.1 && source == m_spectrumSource) return;
    m_spectrumAt = m_now;
    m_spectrumSource = source;
    m_spectrum.fill(0);
    m_peaks.fill(0);
    if (source < 1 || source > 4) return;
    const double rate = source <= 2 ? 10000.0 : 1000.0;
    const int n = 1024;
    const double span = rate / 2;
    std::vector<double> amp[3];
    double fullScale = 0;
    for (int axis = 0; axis < 3; ++axis) {
        amp[axis] = AmplitudeSpectrum(SourceSignal(source, axis, n, rate, m_now));
        amp[axis][0] = 0;  // no DC
        size_t best = 1;
        for (size_t k = 1; k < amp[axis].size(); ++k)
            if (amp[axis][k] > amp[axis][best]) best = k;
        // Parabolic interpolation around the largest bin.
        double offset = 0;
        if (best > 0 && best + 1 < amp[axis].size()) {
            const double l = amp[axis][best - 1], c = amp[axis][best], r = amp[axis][best + 1];
            const double d = l - 2 * c + r;
            if (d != 0) offset = std::clamp(0.5 * (l - r) / d, -0.5, 0.5);
        }
        m_peaks[2 * axis] = static_cast<float>((static_cast<double>(best) + offset) * rate / n);
        m_peaks[2 * axis + 1] = static_cast<float>(amp[axis][best]);
        fullScale = std::max(fullScale, amp[axis][best]);
    }
    const int scale = std::max(1, static_cast<int>(std::ceil(fullScale)));
    for (int b = 0; b < od::kSpectrumBins; ++b) {
        uint32_t word = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const size_t lo = static_cast<size_t>(b * (n / 2) / od::kSpectrumBins);
            const size_t hi = std::max(lo + 1, static_cast<size_t>((b + 1) * (n / 2) / od::kSpectrumBins));
            double m = 0;
            for (size_t k = lo; k < hi && k < amp[axis].size(); ++k) m = std::max(m, amp[axis][k]);
            const uint32_t q = static_cast<uint32_t>(std::min(1023.0, std::round(m / scale * 1000.0)));
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
    const int source = static_cast<int>(Config(od::OBJ_VIBRATION_SOURCE));
    if (source < 1 || source > 2) return {0, 0, 0};
    // One impact period of the x axis at 1 kHz, with the steady tone taken out
    // the way a detector would see the transient: the difference between the
    // signal and the same signal one tone period earlier is not needed here,
    // since the impact dominates its first cycles; measure from the envelope
    // of successive positive peaks (logarithmic decrement).
    const double rate = 20000.0;
    const double start = std::floor(m_now / 0.5) * 0.5;
    std::vector<double> s = SourceSignal(source == 1 ? 3 : 4, 0, static_cast<int>(0.5 * rate), rate, start);
    std::vector<double> steady = s;
    const double unit = source == 2 ? 10.0 : 1.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = start + static_cast<double>(i) / rate;
        steady[i] = toneAmplitude * unit * std::sin(2 * kPi * toneHz * t);
        s[i] -= steady[i];
    }
    std::vector<std::pair<double, double>> peaks;  // time, value
    for (size_t i = 1; i + 1 < s.size(); ++i)
        if (s[i] > s[i - 1] && s[i] >= s[i + 1] && s[i] > 0.05 * toneAmplitude * unit) {
            if (peaks.empty() || static_cast<double>(i) / rate - peaks.back().first > 0.5 / toneHz)
                peaks.emplace_back(static_cast<double>(i) / rate, s[i]);
        }
    if (peaks.size() < 3) return {0, 0, 0};
    const size_t last = std::min<size_t>(peaks.size() - 1, 6);
    const double period = (peaks[last].first - peaks[0].first) / static_cast<double>(last);
    const double delta = std::log(peaks[0].second / peaks[last].second) / static_cast<double>(last);
    const double ratio = delta / std::sqrt(4 * kPi * kPi + delta * delta);
    return {static_cast<float>(1.0 / period), static_cast<float>(ratio), static_cast<float>(peaks[0].second * 10.0)};
}

void ModuleModel::FillProbe() {
    const od::ProbeKind* kind = nullptr;
    for (int i = 0; i < od::kProbeKindCount; ++i)
        if (od::ProbeKindAt(i)->command == 1000 + m_probeKind) kind = od::ProbeKindAt(i);
    m_probe.assign(1024, 0);
    if (kind == nullptr) return;
    const int delay = std::max(1, static_cast<int>(Config(od::OBJ_PROBE_DELAY)));
    const int samples = kind->samples;
    if (m_probeKind == 7 || m_probeKind == 8) {
        const double rate = 10000.0 / delay;
        for (int axis = 0; axis < 3; ++axis) {
            const auto amp = AmplitudeSpectrum(SourceSignal(m_probeKind == 7 ? 1 : 2, axis, 1024, rate, m_now));
            for (int k = 0; k < samples; ++k)
                m_probe[static_cast<size_t>(axis * samples + k)] = static_cast<int32_t>(std::lround(amp[static_cast<size_t>(k)] * 1e6));
        }
        return;
    }
    const bool fast = m_probeKind == 1 || m_probeKind == 2;
    const double step = (fast ? 1e-4 : 1e-3) * delay;
    const double saved = m_now;
    for (int i = 0; i < samples; ++i) {
        m_now = saved - (samples - i) * step;
        Vec3 v;
        double factor = 1;
        switch (m_probeKind) {
        case 1: v = RotationRate(); factor = 131.0; break;       // counts at 250 deg/s full scale
        case 2: v = Acceleration(); factor = 16384.0 / 4; break;  // counts at 4 g full scale
        case 3: v = MagneticField(); factor = 1.0 / 0.15; break;  // 0.15 uT per count
        case 4: v = RotationRate(); factor = 1000.0; break;
        case 5: v = Acceleration(); factor = 1000.0; break;
        case 6: v = MagneticField(); factor = 1000.0; break;
        default: break;
        }
        const double vals[3] = {v.x, v.y, v.z};
        for (int c = 0; c < 3; ++c)
            m_probe[static_cast<size_t>(c * samples + i)] = static_cast<int32_t>(std::lround(vals[c] * factor));
    }
    m_now = saved;
}

double ModuleModel::Element(uint16_t index, int e) const {
    auto pick = [e](const Vec3& v) { return e == 0 ? v.x : e == 1 ? v.y : v.z; };
    switch (index) {
    case od::OBJ_PRODUCT_ID: return productId;
    case od::OBJ_FIRMWARE_VERSION: return 123;
    case od::OBJ_HARDWARE_VERSION: return 100;
    case od::OBJ_STATUS: return StatusWord();
    case od::OBJ_COMMAND: return 0;
    case od::OBJ_VOLTAGE: return Voltage();
    case od::OBJ_TEMPERATURE: return Temperature();
    case od::OBJ_ACCELERATION: return pick(Acceleration());
    case od::OBJ_ROTATION_RATE: return pick(RotationRate());
    case od::OBJ_MAGNETIC_FIELD: return pick(MagneticField());
    case od::OBJ_ACCEL_NO_GRAVITY: return pick(AccelNoGravity());
    case od::OBJ_EULER: return pick(Euler());
    case od::OBJ_VELOCITY: return pick(holdPosition ? Vec3{} : m_velocity);
    case od::OBJ_POSITION: return pick(Position());
    case od::OBJ_VIBRATION: return Vibration()[static_cast<size_t>(e)];
    case od::OBJ_PEAK: return Peaks()[static_cast<size_t>(e)];
    case od::OBJ_SPECTRUM: return Spectrum()[static_cast<size_t>(e)];
    case od::OBJ_CALIB_BIAS: return m_bias[static_cast<size_t>(e)];
    case od::OBJ_CALIB_SCALE: return m_scale[static_cast<size_t>(e)];
    case od::OBJ_CALIB_TEMP_COEFF: return m_tempCoeff[static_cast<size_t>(e)];
    case od::OBJ_GRAVITY_ANGLE: return m_gravityAngle[static_cast<size_t>(e)];
    default:
        if (index >= od::OBJ_PROBE_BUFFER && index <= od::OBJ_PROBE_BUFFER + 3) {
            const size_t n = static_cast<size_t>((index - od::OBJ_PROBE_BUFFER) * 256 + e);
            return n < m_probe.size() ? m_probe[n] : 0;
        }
        return Config(index);
    }
}

std::vector<uint8_t> ModuleModel::Handle(const uint8_t* req, double now) {
    Advance(now);
    if (IsRestarting(now)) return {};
    if (req[2] != deviceId) return {};
    const uint8_t op = req[3] & 0xF0;
    const uint8_t reqType = req[3] & 0x0F;
    const uint16_t index = static_cast<uint16_t>(req[4] | (req[5] << 8));
    const uint8_t sub = req[6];
    const od::ObjectInfo* info = od::Find(index);
    if (info == nullptr) return {};
    const uint8_t type = info->type;
    uint8_t data[4 * frame::kMaxReplyElements] = {};
    std::vector<uint8_t> reply(frame::Length(frame::kMaxReplyElements));

    if (op == frame::OP_GET_REQUEST) {
        const int available = ElementsOf(index) - sub;
        if (available <= 0) return {};
        const int wanted = std::max(1, static_cast<int>(req[7]));
        const int n = std::min({wanted, available, frame::kMaxReplyElements});
        for (int i = 0; i < n; ++i) PutElement(data + 4 * i, type, Element(index, sub + i));
        reply.resize(frame::Build(reply.data(), deviceId, static_cast<uint8_t>(frame::OP_GET_REPLY | type), index, sub, data, n));
        return reply;
    }
    if (op == frame::OP_SET_REQUEST) {
        const double value = TakeElement(req + 7, reqType);
        if (index == od::OBJ_COMMAND) {
            Command(static_cast<int32_t>(value), now);
            PutElement(data, type, value);
        } else if (index == od::OBJ_PROBE_DELAY || (info->access & od::ACCESS_SET)) {
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
    if (selection & 0x1) add("time", {std::floor((now - m_start) * 1000.0)}, "%.0f");
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

std::string ModuleModel::StateText() const {
    std::ostringstream out;
    out.precision(9);
    for (const auto& [index, value] : m_config) out << "0x" << std::hex << index << std::dec << " " << value << "\n";
    auto table = [&out](const char* name, const auto& values) {
        out << name;
        for (float v : values) out << " " << v;
        out << "\n";
    };
    table("bias", m_bias);
    table("scale", m_scale);
    table("tempcoeff", m_tempCoeff);
    table("gravity", m_gravityAngle);
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
        if (key == "bias") table(m_bias);
        else if (key == "scale") table(m_scale);
        else if (key == "tempcoeff") table(m_tempCoeff);
        else if (key == "gravity") table(m_gravityAngle);
        else if (key.rfind("0x", 0) == 0) {
            double value = 0;
            if (words >> value) SetConfig(static_cast<uint16_t>(std::stoul(key, nullptr, 16)), value);
        }
    }
    m_activeBaud1 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART1));
    m_activeBaud2 = static_cast<int32_t>(Config(od::OBJ_BAUD_UART2));
}

}  // namespace sim
