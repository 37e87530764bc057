#pragma once
// The simulated module: its objects, its commands and a motion and vibration
// model. Time is passed in (seconds on any monotonic scale) so tests can run a
// 30 s calibration without waiting. Protocol handling takes one request frame
// and gives the reply frame, or nothing when a real module would stay silent.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

class ModuleModel {
public:
    explicit ModuleModel(double now = 0);

    // Options that tests and the command line set.
    uint8_t deviceId = 1;
    int32_t productId = 1011;
    uint32_t raisedStatusBits = 0;            // error bits OR-ed into the status word
    std::optional<Vec3> holdEuler, holdPosition;
    double toneHz = 37.0, toneAmplitude = 0.5;

    // Handles one complete 13-byte request frame (checked by the caller's
    // framing) at time now; returns the reply frame, empty for no reply.
    std::vector<uint8_t> Handle(const uint8_t* request, double now);

    // Moves the model on to `now` (integration, calibrations, probe capture).
    void Advance(double now);

    // Values as the module would report them now.
    int32_t StatusWord() const;
    Vec3 Euler() const;
    std::array<double, 4> Quaternion() const;
    Vec3 Acceleration() const;       // g, body frame, with gravity
    Vec3 RotationRate() const;       // deg/s
    Vec3 MagneticField() const;      // uT
    Vec3 AccelNoGravity() const;     // m/s^2
    Vec3 Velocity() const { return m_velocity; }
    Vec3 Position() const;
    double Temperature() const;
    double Voltage() const;

    // Configuration objects by index (int32 or float32 as the catalogue says).
    double Config(uint16_t index) const;
    void SetConfig(uint16_t index, double value);  // limited as the module does
    bool IsRestarting(double now) const { return now < m_restartUntil; }
    // Rates that apply to the two ports now (new ones only after a restart).
    int32_t ActiveBaud(int port) const { return port == 0 ? m_activeBaud1 : m_activeBaud2; }

    // One sync data line (without CR LF, at most 250 characters) of the
    // quantities selected in object 0x20.
    std::string SyncLine(double now) const;

    // Persisted configuration (command 1): every settable object and the
    // calibration tables, as "index value" lines.
    std::string StateText() const;
    void LoadStateText(const std::string& text);
    std::string statePath;  // where command 1 writes; empty: nowhere

    // The probe buffer (up to 1024 values) and the vibration results.
    const std::vector<int32_t>& ProbeBuffer() const { return m_probe; }
    std::array<float, 6> Peaks() const;
    std::array<int32_t, 100> Spectrum() const;
    std::array<float, 3> Vibration() const;

private:
    void Command(int32_t value, double now);
    void FactoryDefaults();
    void ResetCalibration();
    void FillProbe();
    void ComputeSpectrum() const;
    std::vector<double> SourceSignal(int source, int axis, int n, double rate, double t0) const;
    double Element(uint16_t index, int element) const;

    double m_now;
    double m_start;
    std::map<uint16_t, double> m_config;
    std::array<float, 9> m_bias{}, m_scale{}, m_tempCoeff{};
    std::array<float, 3> m_gravityAngle{};
    Vec3 m_zero;            // subtracted from the attitude (set zero angle)
    double m_attitudeOrigin;
    Vec3 m_velocity, m_position;
    double m_lastAdvance;
    int32_t m_calibCommand = 0;  // calibration in progress, 0 when none
    double m_calibEnd = 0;
    bool m_calibSucceeded = false;
    bool m_calibFailed = false;
    int m_probeKind = 0;         // 1..8 while a probe is served
    double m_probeReadyAt = 0;
    bool m_probeReady = false;
    std::vector<int32_t> m_probe;
    double m_restartUntil = 0;
    int32_t m_activeBaud1 = 115200, m_activeBaud2 = 115200;
    // Spectrum cache, recomputed at most every 100 ms.
    mutable double m_spectrumAt = -1;
    mutable int m_spectrumSource = -1;
    mutable std::array<int32_t, 100> m_spectrum{};
    mutable std::array<float, 6> m_peaks{};
};

}  // namespace sim
