#pragma once
// The simulated module: its objects, its commands and a motion, sensor and
// vibration model. Time is passed in (seconds on any monotonic scale) so tests
// can run a 30 s calibration without waiting. Protocol handling takes one
// request frame and gives the reply frame, or nothing when a real module would
// stay silent. docs/simulator.md lists the behaviour and its known values.
#include "device/frame.h"
#include "device/object_dictionary.h"
#include "sim/ellipsoid_fit.h"

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

// The calibration procedures by the names the options and control lines use.
enum class Calibration { None, GyroAccel, Magnetometer, Temperature };
// "gyro-accel", "magnetometer", "temperature"; None for anything else.
Calibration CalibrationByName(const std::string& name);

// How the simulated user turns the module during a magnetometer calibration:
// in all directions, so that the field points into one hemisphere of the
// module only (its -Z side), or only about the vertical axis, lying flat.
enum class MagTurns { Full, Half, Flat };
std::optional<MagTurns> MagTurnsByName(const std::string& name);  // "full", "half", "flat"

// Known waveforms the probe buffers can carry instead of sensor data.
enum class ProbeWave { Sensor, Sine, Ramp, Square };
std::optional<ProbeWave> ProbeWaveByName(const std::string& name);  // "off"/"sensor", "sine", ...

// The model's calibration parameters: objects 0x46..0x49.
struct CalibrationTables {
    std::array<float, 9> bias{}, scale{}, tempCoeff{};
    std::array<float, 3> gravityAngle{};
};

class ModuleModel {
public:
    explicit ModuleModel(double now = 0);

    // Options that tests and the command line set.
    uint8_t deviceId = 1;
    int32_t productId = od::kProductTarvik;
    int32_t firmwareVersion = 123;   // x100
    int32_t hardwareVersion = 100;   // x100
    uint32_t raisedStatusBits = 0;   // error bits OR-ed into the status word
    std::optional<Vec3> holdEuler, holdPosition;
    double toneHz = 37.0, toneAmplitude = 2.0;                               // x axis of the vibration sources
    double vibrationHz = 12.0, vibrationRatio = 0.05, vibrationAmplitude = 4.0;  // z axis impacts
    ProbeWave probeWave = ProbeWave::Sensor;
    int probeIgnore = 0;             // so many probe commands are not confirmed
    bool probeNeverReady = false;
    Calibration failCalibration = Calibration::None;  // ends with the failure bit
    bool failEveryCalibration = false;
    Calibration hangCalibration = Calibration::None;  // never ends by itself
    bool hangEveryCalibration = false;
    std::map<Calibration, double> calibrationSeconds;  // overrides the procedure times
    // The magnetometer: the earth field's strength, the sensor's hard-iron
    // offset and per-axis soft-iron scale (the defaults are the sensor's true
    // errors), the fraction of readings a disturbance moves by up to 30 % of
    // the field on each axis, and how the user turns it while it calibrates.
    double magField = kEarthFieldMagnitude;  // uT
    Vec3 magOffset, magScale;                // uT; gain
    double magInterference = 0;
    MagTurns magTurns = MagTurns::Full;

    // Handles one request at time now; returns the reply frame, empty for no
    // reply. The byte form takes a 13-byte frame and ignores one that is not
    // a request frame.
    std::vector<uint8_t> Handle(const frame::Request& request, double now);
    std::vector<uint8_t> Handle(const uint8_t* request, double now);
    // A text line received outside the frames (without its line end); returns
    // the text the module answers, empty for none. "/f" saves the calibration
    // as the factory calibration.
    std::string TextLine(const std::string& line, double now);

    // Moves the model on to `now` (integration, calibrations, probe capture).
    void Advance(double now);

    // Values as the module would report them now.
    int32_t StatusWord() const;
    Vec3 Euler() const;
    std::array<double, 4> Quaternion() const;
    Vec3 Acceleration() const;       // g, body frame, with gravity, calibrated
    Vec3 RotationRate() const;       // deg/s, calibrated
    Vec3 MagneticField() const;      // uT; uncalibrated while the magnetometer calibrates
    Vec3 AccelNoGravity() const;     // m/s^2
    Vec3 Velocity() const;
    Vec3 Position() const;
    double Temperature() const;
    double Voltage() const;

    // Configuration objects by index (int32 or float32 as the catalogue says).
    double Config(uint16_t index) const;
    void SetConfig(uint16_t index, double value);  // limited or refused as the module does
    // Puts values into an object as they stand, past every limit (control line
    // "force"): configuration objects and calibration tables take them, any
    // other object reports them until Release.
    void Force(uint16_t index, int firstElement, const std::vector<double>& values);
    void Release();  // ends holds and forced measurement values
    // The module does not hear the next `count` requests for the object (and
    // sub-index, when sub >= 0): no effect, no reply.
    void IgnoreRequests(uint16_t index, int sub, int count);

    // The module answers nothing while it restarts or writes its flash.
    bool IsSilent(double now) const { return now < m_silentUntil; }
    bool IsRestarting(double now) const { return IsSilent(now); }
    double SilentUntil() const { return m_silentUntil; }
    // Rates that apply to the two ports now (new ones only after a restart).
    int32_t ActiveBaud(int port) const { return port == 0 ? m_activeBaud1 : m_activeBaud2; }

    // One sync data line (without CR LF, at most 250 characters) of the
    // quantities selected in object 0x20.
    std::string SyncLine(double now) const;

    // The flash: the configuration written by command 1 and the calibration
    // parameters (current and factory), as "index value" and table lines.
    std::string StateText() const;
    void LoadStateText(const std::string& text);  // into flash and the running configuration
    std::string statePath;  // where the flash is kept; empty: in memory only

    // Calibration procedure running now, and the last one's samples (magnetometer).
    Calibration RunningCalibration() const { return m_calib; }
    void EndCalibration(double now);  // ends a running (or hanging) procedure now
    const std::vector<Point3>& MagnetometerSamples() const { return m_magSamples; }
    const CalibrationTables& Tables() const { return m_cal; }

    // The probe buffer (up to 1024 values) and the vibration results.
    const std::vector<int32_t>& ProbeBuffer() const { return m_probe; }
    std::array<float, 6> Peaks() const;
    std::array<int32_t, 100> Spectrum() const;
    std::array<float, 3> Vibration() const;

    // The sensor errors the calibrations find (documented known values).
    static const CalibrationTables& TrueSensorErrors();
    static const CalibrationTables& FactoryCalibration();
    static constexpr double kEarthFieldMagnitude = 46.7466;  // uT, the reference of the magnetometer scale

private:
    enum class Motion { Normal, Still, Tumble };
    void Command(int32_t value, double now);
    void StartCalibration(Calibration kind, double now);
    void FinishCalibration(double now, bool byRequest);
    void FactoryDefaults();
    void WriteFlash();
    void Restart(double now);
    void FillProbe();
    void ComputeSpectrum() const;
    std::vector<double> SourceSignal(int source, int axis, int n, double rate, double tEnd) const;
    double Element(uint16_t index, int element) const;
    void BeginMotion(Motion motion, double now);

    Vec3 EulerAt(double t) const;
    Vec3 RotationRateAt(double t) const;
    Vec3 LinearAt(double t) const;
    Vec3 AccelerationAt(double t, bool calibrated) const;   // g
    Vec3 RotationRateSensorAt(double t, bool calibrated) const;
    Vec3 MagneticFieldAt(double t, bool calibrated) const;
    Vec3 HalfTurnEulerAt(double tau) const;  // the one-hemisphere turns of a magnetometer calibration
    double TemperatureAt(double t) const;
    Vec3 Vibration3(double t, int source) const;  // the vibration sources' axes, no noise

    struct Ignored {
        uint16_t index;
        int sub;
        int count;
    };
    std::vector<Ignored> m_ignored;
    double m_now;
    double m_created;                     // the module's thermal clock
    double m_boot;                        // start of the running firmware (sync "time")
    std::map<uint16_t, double> m_config;  // the running configuration
    std::map<uint16_t, double> m_flash;   // what command 1 wrote
    std::map<std::pair<uint16_t, int>, double> m_forced;
    CalibrationTables m_cal, m_factoryCal;
    // Motion: the normal swing continues from `m_motionBase` at `m_motionStart`.
    Motion m_motion = Motion::Normal;
    double m_motionStart;
    // The simulated user turns faster when the magnetometer calibration is
    // shortened, so that a short run still covers every direction.
    double m_tumbleSpeed = 1.0;
    Vec3 m_motionBase;
    Vec3 m_velocity, m_position;
    double m_lastAdvance;
    // Calibration in progress.
    Calibration m_calib = Calibration::None;
    double m_calibStart = 0, m_calibEnd = 0;
    bool m_calibHangs = false;
    bool m_calibSucceeded = false, m_calibFailed = false;
    double m_heatStart = -1, m_heatEnd = -1;  // the temperature calibration's heating
    std::vector<Point3> m_magSamples;
    double m_nextMagSample = 0;
    // Probe.
    int m_probeKind = 0;  // 1..8 while a probe is served
    double m_probeReadyAt = 0;
    bool m_probeReady = false;
    std::vector<int32_t> m_probe;
    // Restart and flash writes.
    double m_silentUntil = 0;
    bool m_restartPending = false;
    int32_t m_activeBaud1 = 115200, m_activeBaud2 = 115200;
    int m_activeGyroScale = 0, m_activeAccelScale = 1;  // chip settings since the last start
    // Spectrum cache, recomputed at most every 100 ms.
    mutable double m_spectrumAt = -1;
    mutable int m_spectrumSource = -1;
    mutable std::array<int32_t, 100> m_spectrum{};
    mutable std::array<float, 6> m_peaks{};
};

}  // namespace sim
