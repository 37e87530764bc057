#pragma once
// The catalogue of the module's objects that this system uses, and the values
// and bit layouts that go with them. Every window, the simulator and the
// command-line tool take their numbers from here.
#include "device/object_access.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace od {

enum Access : uint8_t { ACCESS_GET = 1, ACCESS_SET = 2, ACCESS_GET_SET = 3 };

struct ObjectInfo {
    uint16_t index;
    uint8_t type;          // OBJ_INT8 .. OBJ_FLOAT32
    uint8_t count;         // elements asked for in one get
    Access access;
    const char* unit;      // "" when none
    const char* mnemonic;  // "" when the module has none
    const char* name;      // short English description
    double minimum;        // the value range (the simulator keeps to it, and the pages limit to it
                           // where kConfigFields says so); equal when none
    double maximum;
};

// Object indices.
enum : uint16_t {
    OBJ_PRODUCT_ID = 0x02,
    OBJ_FIRMWARE_VERSION = 0x03,
    OBJ_HARDWARE_VERSION = 0x04,
    OBJ_STATUS = 0x05,
    OBJ_COMMAND = 0x06,
    OBJ_PROBE_DELAY = 0x07,
    OBJ_OPTIONS = 0x09,
    OBJ_BAUD_UART1 = 0x0b,
    OBJ_BAUD_UART2 = 0x0c,
    OBJ_GYRO_FULL_SCALE = 0x0f,
    OBJ_GYRO_LOW_PASS = 0x10,
    OBJ_ACCEL_FULL_SCALE = 0x11,
    OBJ_ACCEL_LOW_PASS = 0x12,
    OBJ_DRIFT_THRESHOLD = 0x14,
    OBJ_DRIFT_GAIN = 0x15,
    OBJ_SCALE_THRESHOLD = 0x16,
    OBJ_SCALE_GAIN = 0x17,
    OBJ_ACCEL_VARIANCE = 0x19,
    OBJ_MAGN_VARIANCE = 0x1a,
    OBJ_ZERO_VELOCITY_VARIANCE = 0x1c,
    OBJ_SYNC_PORT = 0x1e,
    OBJ_SYNC_PERIOD = 0x1f,
    OBJ_SYNC_SELECTION = 0x20,
    OBJ_FFT_SOURCE = 0x22,
    OBJ_VIBRATION_SOURCE = 0x23,
    OBJ_ACCEL_THRESHOLD = 0x24,
    OBJ_GYRO_THRESHOLD = 0x25,
    OBJ_PROBE_BUFFER = 0x28,   // 0x28 .. 0x2b
    OBJ_VOLTAGE = 0x30,
    OBJ_TEMPERATURE = 0x32,
    OBJ_ACCELERATION = 0x33,
    OBJ_ROTATION_RATE = 0x34,
    OBJ_MAGNETIC_FIELD = 0x35,
    OBJ_ACCEL_NO_GRAVITY = 0x36,
    OBJ_EULER = 0x37,
    OBJ_VELOCITY = 0x39,
    OBJ_POSITION = 0x3a,
    OBJ_VIBRATION = 0x3c,
    OBJ_PEAK = 0x3d,
    OBJ_SPECTRUM = 0x3e,
    OBJ_CALIB_BIAS = 0x46,
    OBJ_CALIB_SCALE = 0x47,
    OBJ_CALIB_TEMP_COEFF = 0x48,
    OBJ_GRAVITY_ANGLE = 0x49,
};

// Product identifier (object 0x02) of the supported module, and its product
// code as the About box and the Device page show it.
constexpr int32_t kProductTarvik = 1011;
inline constexpr char kProductCode[] = "KV-TQM-v1";

// The serial rates the module runs at (objects 0x0b, 0x0c), in bit/s; also the
// order in which automatic detection tries them.
inline constexpr int kBaudRateCount = 8;
inline constexpr uint32_t kBaudRates[kBaudRateCount] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// Values of the command object 0x06.
enum : int32_t {
    CMD_FLASH_WRITE = 1,
    CMD_FACTORY_DEFAULT = 2,
    CMD_CALIBRATE_GYRO_ACCEL = 3,
    CMD_CALIBRATE_MAGNETOMETER = 4,
    CMD_SET_ZERO_ANGLE = 5,
    CMD_RESET_ANGLE = 7,
    CMD_RESET_POSITION = 8,
    CMD_RESET_CALIBRATION = 9,
    CMD_CALIBRATE_TEMPERATURE = 45,
    CMD_RESTART = 99,
    CMD_PROBE_END = 1000,
    CMD_PROBE_FIRST = 1001,
    CMD_PROBE_LAST = 1008,
};

// Bits of the status word 0x05.
enum : uint32_t {
    STATUS_CALIB_RUNNING_0 = 0x1,
    STATUS_CALIB_RUNNING_1 = 0x2,
    STATUS_CALIB_RUNNING_2 = 0x4,
    STATUS_CALIB_SUCCESS = 0x8,
    STATUS_PROBE_KIND_MASK = 0xF00,
    STATUS_PROBE_READY = 0x1000,
    STATUS_CALIB_FAILED = 0x10000,
    STATUS_VOLTAGE_RANGE = 0x20000,
    STATUS_TEMPERATURE_RANGE = 0x40000,
    STATUS_GYRO_FULL_SCALE = 0x80000,
    STATUS_ACCEL_FULL_SCALE = 0x100000,
    STATUS_MAGNETIC_DISTURBED = 0x200000,
    STATUS_FLASH_ERROR = 0x1000000,
    STATUS_ACCEL_GYRO_SENSOR_ERROR = 0x2000000,
    STATUS_MAGN_SENSOR_ERROR = 0x4000000,
    STATUS_FACTORY_DEFAULT_ERROR = 0x8000000,
    STATUS_FILTER_OVERFLOW = 0x10000000,
    STATUS_SENSOR_OVERFLOW = 0x20000000,
    STATUS_ERROR_FIRST = 0x10000,   // a status word below this has no error bit
};

// The catalogue, in index order.
const ObjectInfo* Catalogue(int* count);
const ObjectInfo* Find(uint16_t index);
// By mnemonic ("sp", "sd", ...); null when unknown.
const ObjectInfo* FindByMnemonic(std::string_view mnemonic);

// The objects the configuration pages show beside a label: the page (tab 0
// Device, 1 Filter, 3 FFT && Position), the label as the page shows it, and
// whether the page limits an edited value to the object's minimum .. maximum
// before writing it (lists of codes and bit boxes are not limited).
struct ConfigField {
    uint16_t index;
    int page;
    const char* label;
    bool limited;
};
inline constexpr ConfigField kConfigFields[] = {
    {OBJ_VOLTAGE, 0, "Power in voltage (pv):", false},
    {OBJ_TEMPERATURE, 0, "IMU Temperature (t):", false},
    {OBJ_BAUD_UART1, 0, "RS-232/UART1 Baudrate (b1):", false},
    {OBJ_BAUD_UART2, 0, "USB/UART2 Baudrate (b2):", false},
    {OBJ_SYNC_PORT, 0, "Sync. data port (so):", false},
    {OBJ_SYNC_PERIOD, 0, "Sync. period (sp):", true},
    {OBJ_SYNC_SELECTION, 0, "Sync. data selecion (sd):", false},
    {OBJ_OPTIONS, 0, "Device options (o)", false},
    {OBJ_GYRO_FULL_SCALE, 1, "Gyro. full scale (gs):", false},
    {OBJ_GYRO_LOW_PASS, 1, "Gyro. low-pass filter (gl):", false},
    {OBJ_ACCEL_FULL_SCALE, 1, "Accel. full scale (as):", false},
    {OBJ_ACCEL_LOW_PASS, 1, "Accel. low-pass filter (al):", false},
    {OBJ_DRIFT_THRESHOLD, 1, "Filtering threshold (dt):", true},
    {OBJ_DRIFT_GAIN, 1, "Integral gain (dg):", true},
    {OBJ_SCALE_THRESHOLD, 1, "Filtering threshold (st):", true},
    {OBJ_SCALE_GAIN, 1, "Integral gain (sg):", true},
    {OBJ_ACCEL_VARIANCE, 1, "Accel. variance  (av):", true},
    {OBJ_MAGN_VARIANCE, 1, "Magn. variance  (mv):", true},
    {OBJ_FFT_SOURCE, 3, "FFT source (fs):", true},
    {OBJ_VIBRATION_SOURCE, 3, "Vibration source (vs):", true},
    {OBJ_ACCEL_THRESHOLD, 3, "Accl. magnitude th. (at):", true},
    {OBJ_GYRO_THRESHOLD, 3, "Gyro. magnitude th. (gt):", true},
    {OBJ_ZERO_VELOCITY_VARIANCE, 3, "Zero vel. variance  (zv):", true},
};
// The field of an object; null when no page labels it.
constexpr const ConfigField* FindConfigField(uint16_t index) {
    for (const ConfigField& f : kConfigFields)
        if (f.index == index) return &f;
    return nullptr;
}
// The label beside the object's control ("" when none), for the templates.
constexpr const char* ConfigLabel(uint16_t index) {
    const ConfigField* f = FindConfigField(index);
    return f ? f->label : "";
}
// The limits a page applies to the object before writing it; nothing when
// the page writes it as it is (or no page shows it).
struct Limits {
    double minimum;
    double maximum;
};
std::optional<Limits> PageLimits(uint16_t index);

// Sync data selection, object 0x20: one bit per quantity of each sync line.
constexpr int kSyncBitCount = 12;
// The Sync data page's words of every selected bit, in bit order.
std::string SyncSelectionNames(uint32_t mask);

// The choices of the FFT source (object 0x22) and the vibration source (0x23)
// as the lists show them; list position = value.
struct SourceList {
    const char* const* items;
    int count;
};
SourceList FftSources();
SourceList VibrationSources();

// Spectrum, object 0x3e: elements 0..98 pack three 10-bit magnitudes
// (x bits 0-9, y 10-19, z 20-29; m stands for m/1000 of full scale);
// element 99 holds the span in Hz (low 16 bits) and the full scale (high 16).
constexpr int kSpectrumBins = 99;
constexpr int kSpectrumWords = 100;
struct SpectrumBin {
    int x, y, z;
};
SpectrumBin UnpackSpectrumBin(int32_t word);
int SpectrumSpanHz(int32_t word99);     // at least 100
int SpectrumFullScale(int32_t word99);  // 1 when 0

// Probe kinds in the probe window's list order.
struct ProbeKind {
    const char* name;
    const char* shortName;  // the command line's name: acc-raw, gyro-raw, ...
    int32_t command;        // 1001..1008
    int32_t statusCode;     // status bits 8..11 while the module serves it
    int channels;
    int samples;
    double scale;  // raw value -> unit; 1 for the raw kinds
    int Total() const { return channels * samples; }
};
constexpr int kProbeKindCount = 8;
const ProbeKind* ProbeKindAt(int position);  // null outside 0..7
// The first position whose command or status code equals code; -1 when none
// (code 0 never matches).
int ProbeKindPosition(int32_t code);

// Probe buffer: element n is element n % 256 of object 0x28 + n / 256.
constexpr int kProbeRunMax = 32;
constexpr uint16_t ProbeBufferObject(int n) { return static_cast<uint16_t>(OBJ_PROBE_BUFFER + n / 256); }
constexpr uint8_t ProbeBufferSub(int n) { return static_cast<uint8_t>(n % 256); }
struct ProbeRun {
    int first;       // position of the run's first element in the sequence
    uint16_t object;
    uint8_t subIndex;
    int count;
};
// The get that reads on from element `first` of `total`: at most 32 elements,
// never across objects because 256 is a multiple of 32.
ProbeRun ProbeRunAt(int first, int total);

// The chart window's seven quantities, each float32 x 3.
struct ChartQuantity {
    const char* name;
    uint16_t object;
};
constexpr int kChartQuantityCount = 7;
const ChartQuantity* ChartQuantities();

// The names of a measured quantity and of its elements, as the session
// export's columns and the UDP feed's keys give them ("euler" with "roll",
// "pitch", "yaw"). A one-element quantity has no element names.
struct QuantityNames {
    uint16_t index;
    const char* quantity;
    const char* const* elements;  // null for a one-element quantity
    int elementCount;
};
// The names of a measured quantity; null for any other object.
const QuantityNames* FindQuantityNames(uint16_t index);
// The quantity's name ("euler"), the mnemonic of an object that has one and
// no quantity names ("sp"), or "object_0xNN" where there is neither.
std::string QuantityName(uint16_t index);
// One element's name: "euler_roll", "voltage" (a one-element quantity),
// "sp", or "object_0xNN_K" where the catalogue names none.
std::string ElementName(uint16_t index, int element);
// The key of one element within its quantity ("roll"); empty for a
// one-element quantity, the element number where none is named.
std::string ElementKey(uint16_t index, int element);

// Vibration, object 0x3c: derived values, when defined.
std::optional<double> NaturalFrequency(double dampedHz, double ratio);  // 0 <= ratio < 1
std::optional<double> QFactor(double ratio);                            // 0 < ratio <= 1

// Unit of the peak magnitudes for an FFT source (object 0x22).
const char* MagnitudeUnit(int32_t fftSource);
// "Tarvik (KV-TQM-v1)" for 1011, "---" otherwise.
const char* ProductText(int32_t productId);

// The main window's status line: its text (with "&&" as a static shows "&")
// and its background colour, from the connection state and the status word.
enum class StatusColour { Normal, Yellow, Orange, Red };
std::string StatusText(bool connected, bool fault, bool noReply, int32_t statusWord);
StatusColour StatusColourOf(bool connected, bool fault, bool noReply, int32_t statusWord);

}  // namespace od
