// The object catalogue as one constant table, and the helpers for the values
// and layouts that go with it.
#include "device/object_dictionary.h"

#include <cmath>
#include <cstdio>
#include <iterator>

namespace od {

namespace {

constexpr double kNoLimit = 0;

// index, type, count, access, unit, mnemonic, name, minimum, maximum
const ObjectInfo kCatalogue[] = {
    {0x02, OBJ_INT32, 1, ACCESS_GET, "", "", "product identifier", kNoLimit, kNoLimit},
    {0x03, OBJ_INT32, 1, ACCESS_GET, "", "", "firmware version x100", kNoLimit, kNoLimit},
    {0x04, OBJ_INT32, 1, ACCESS_GET, "", "", "hardware version x100", kNoLimit, kNoLimit},
    {0x05, OBJ_INT32, 1, ACCESS_GET, "", "", "status word", kNoLimit, kNoLimit},
    {0x06, OBJ_INT32, 1, ACCESS_SET, "", "", "command", kNoLimit, kNoLimit},
    {0x07, OBJ_INT32, 1, ACCESS_SET, "", "", "probe sampling delay", 1, 100},
    {0x09, OBJ_INT32, 1, ACCESS_GET_SET, "", "o", "device options", kNoLimit, kNoLimit},
    {0x0b, OBJ_INT32, 1, ACCESS_GET_SET, "bit/s", "b1", "RS-232/UART1 baud rate", 9600, 921600},
    {0x0c, OBJ_INT32, 1, ACCESS_GET_SET, "bit/s", "b2", "USB/UART2 baud rate", 9600, 921600},
    {0x0f, OBJ_INT32, 1, ACCESS_GET_SET, "", "gs", "gyroscope full-scale code", 0, 3},
    {0x10, OBJ_INT32, 1, ACCESS_GET_SET, "", "gl", "gyroscope low-pass filter code", -1, 7},
    {0x11, OBJ_INT32, 1, ACCESS_GET_SET, "", "as", "accelerometer full-scale code", 0, 3},
    {0x12, OBJ_INT32, 1, ACCESS_GET_SET, "", "al", "accelerometer low-pass filter code", -1, 7},
    {0x14, OBJ_FLOAT32, 1, ACCESS_GET_SET, "deg/s", "dt", "drift-reduction filtering threshold", 0, 360},
    {0x15, OBJ_FLOAT32, 1, ACCESS_GET_SET, "deg/s", "dg", "drift-reduction integral gain", 0, 360},
    {0x16, OBJ_FLOAT32, 1, ACCESS_GET_SET, "g", "st", "scale-adjustment filtering threshold", 0, 1},
    {0x17, OBJ_FLOAT32, 1, ACCESS_GET_SET, "g", "sg", "scale-adjustment integral gain", 0, 1},
    {0x19, OBJ_FLOAT32, 1, ACCESS_GET_SET, "", "av", "Kalman accelerometer variance", 0, 1000},
    {0x1a, OBJ_FLOAT32, 1, ACCESS_GET_SET, "", "mv", "Kalman magnetometer variance", 0, 1000},
    {0x1c, OBJ_FLOAT32, 1, ACCESS_GET_SET, "", "zv", "zero-velocity variance", 0, 1000},
    {0x1e, OBJ_INT32, 1, ACCESS_GET_SET, "", "so", "sync data port", 0, 1},
    {0x1f, OBJ_INT32, 1, ACCESS_GET_SET, "ms", "sp", "sync period", 1, 60000},
    {0x20, OBJ_INT32, 1, ACCESS_GET_SET, "", "sd", "sync data selection", 0, 0xFFF},
    {0x22, OBJ_INT32, 1, ACCESS_GET_SET, "", "fs", "FFT source", 0, 4},
    {0x23, OBJ_INT32, 1, ACCESS_GET_SET, "", "vs", "vibration source", 0, 2},
    {0x24, OBJ_FLOAT32, 1, ACCESS_GET_SET, "m/s^2", "at", "acceleration magnitude threshold", 0, 160},
    {0x25, OBJ_FLOAT32, 1, ACCESS_GET_SET, "deg/s", "gt", "angular-rate magnitude threshold", 0, 2000},
    {0x28, OBJ_INT32, 32, ACCESS_GET, "", "", "probe buffer 0..255", kNoLimit, kNoLimit},
    {0x29, OBJ_INT32, 32, ACCESS_GET, "", "", "probe buffer 256..511", kNoLimit, kNoLimit},
    {0x2a, OBJ_INT32, 32, ACCESS_GET, "", "", "probe buffer 512..767", kNoLimit, kNoLimit},
    {0x2b, OBJ_INT32, 32, ACCESS_GET, "", "", "probe buffer 768..1023", kNoLimit, kNoLimit},
    {0x30, OBJ_FLOAT32, 1, ACCESS_GET, "V", "pv", "supply voltage", kNoLimit, kNoLimit},
    {0x32, OBJ_FLOAT32, 1, ACCESS_GET, "degC", "t", "IMU temperature", kNoLimit, kNoLimit},
    {0x33, OBJ_FLOAT32, 3, ACCESS_GET, "g", "", "acceleration", kNoLimit, kNoLimit},
    {0x34, OBJ_FLOAT32, 3, ACCESS_GET, "deg/s", "", "rotation rate", kNoLimit, kNoLimit},
    {0x35, OBJ_FLOAT32, 3, ACCESS_GET, "uT", "", "magnetic field", kNoLimit, kNoLimit},
    {0x36, OBJ_FLOAT32, 3, ACCESS_GET, "m/s^2", "", "acceleration without gravity", kNoLimit, kNoLimit},
    {0x37, OBJ_FLOAT32, 3, ACCESS_GET, "deg", "", "Euler angles roll, pitch, yaw", kNoLimit, kNoLimit},
    {0x39, OBJ_FLOAT32, 3, ACCESS_GET, "m/s", "", "velocity", kNoLimit, kNoLimit},
    {0x3a, OBJ_FLOAT32, 3, ACCESS_GET, "m", "", "position", kNoLimit, kNoLimit},
    {0x3c, OBJ_FLOAT32, 3, ACCESS_GET, "", "", "detected vibration", kNoLimit, kNoLimit},
    {0x3d, OBJ_FLOAT32, 6, ACCESS_GET, "", "f", "peak frequency and magnitude per axis", kNoLimit, kNoLimit},
    {0x3e, OBJ_INT32, 100, ACCESS_GET, "", "", "spectrum", kNoLimit, kNoLimit},
    {0x46, OBJ_FLOAT32, 9, ACCESS_GET, "", "", "calibration bias", kNoLimit, kNoLimit},
    {0x47, OBJ_FLOAT32, 9, ACCESS_GET, "", "", "calibration scale", kNoLimit, kNoLimit},
    {0x48, OBJ_FLOAT32, 9, ACCESS_GET, "", "", "calibration temperature coefficient", kNoLimit, kNoLimit},
    {0x49, OBJ_FLOAT32, 3, ACCESS_GET, "deg", "", "gravity vector angle", kNoLimit, kNoLimit},
};

const char* const kSyncPageNames[kSyncBitCount] = {
    "Time. ", "Temp. ", "Accl. ", "Gyro. ", "Magn. ", "Accl-g. ", "Euler. ", "Quat. ", "Vel. ", "Pos. ", "Freq. ", "Vibr. ",
};

const char* const kFftSourceItems[] = {
    "0 - (none)",
    "1 - Accl. raw input data (sampling freq. 10kHz)",
    "2 - Gyro. raw input data (sampling freq. 10kHz)",
    "3 - Accl. filtered data (sampling freq. 1kHz)",
    "4 - Gyro. filtered data (sampling freq. 1kHz)",
};
const char* const kVibrationSourceItems[] = {
    "0 - (none)",
    "1 - Accl. filtered data (sampling freq. 1kHz)",
    "2 - Gyro. filtered data (sampling freq. 1kHz)",
};

const ProbeKind kProbeKinds[kProbeKindCount] = {
    {"Acceleration raw values", "acc-raw", 1002, 0x200, 3, 256, 1.0},
    {"Gyroscope raw values", "gyro-raw", 1001, 0x100, 3, 256, 1.0},
    {"Magnetometer raw values", "mag-raw", 1003, 0x300, 3, 256, 1.0},
    {"Acceleration [g]", "acc", 1005, 0x500, 3, 256, 0.001},
    {"Rotation rate [deg/s]", "gyro", 1004, 0x400, 3, 256, 0.001},
    {"Magnetic field [uT]", "mag", 1006, 0x600, 3, 256, 0.001},
    {"FFT for Acceleration [m/s^2]", "fft-acc", 1007, 0x700, 3, 330, 0.000001},
    {"FFT for Rotation rate [deg/s]", "fft-gyro", 1008, 0x800, 3, 330, 0.000001},
};

const ChartQuantity kChartQuantities[kChartQuantityCount] = {
    {"Euler angle [deg]", 0x37},
    {"Rotation rate [deg/s]", 0x34},
    {"Magnetic field [uT]", 0x35},
    {"Acceleration [g]", 0x33},
    {"Acceleration - gravity [m/s^2]", 0x36},
    {"Velocity [m/s]", 0x39},
    {"Position [m]", 0x3a},
};

struct StatusMessage {
    uint32_t mask;
    const char* text;
};
const StatusMessage kStatusMessages[] = {
    {STATUS_CALIB_FAILED, "Calibration failed, "},
    {STATUS_VOLTAGE_RANGE, "Voltage exceeds rated range, "},
    {STATUS_TEMPERATURE_RANGE, "Temperature exceeds rated range, "},
    {STATUS_GYRO_FULL_SCALE, "Gyroscope exceeds full scale, "},
    {STATUS_ACCEL_FULL_SCALE, "Acceleration exceeds full scale, "},
    {STATUS_MAGNETIC_DISTURBED, "Earth's magnetic field is interfered, "},
    {STATUS_FLASH_ERROR, "Flash access error, "},
    {STATUS_ACCEL_GYRO_SENSOR_ERROR, "Accl&&Gyro sensor error, "},
    {STATUS_MAGN_SENSOR_ERROR, "Magn sensor error, "},
    {STATUS_FACTORY_DEFAULT_ERROR, "Factory default error, "},
    {STATUS_FILTER_OVERFLOW, "Filter exec. time overflow, "},
    {STATUS_SENSOR_OVERFLOW, "Sensor exec. time overflow, "},
};

}  // namespace

const ObjectInfo* Catalogue(int* count) {
    if (count != nullptr) *count = static_cast<int>(sizeof(kCatalogue) / sizeof(kCatalogue[0]));
    return kCatalogue;
}

const ObjectInfo* Find(uint16_t index) {
    for (const ObjectInfo& info : kCatalogue)
        if (info.index == index) return &info;
    return nullptr;
}

const ObjectInfo* FindByMnemonic(std::string_view mnemonic) {
    if (mnemonic.empty()) return nullptr;
    for (const ObjectInfo& info : kCatalogue)
        if (mnemonic == info.mnemonic) return &info;
    return nullptr;
}

std::optional<Limits> PageLimits(uint16_t index) {
    const ConfigField* field = FindConfigField(index);
    const ObjectInfo* info = Find(index);
    if (field == nullptr || !field->limited || info == nullptr) return std::nullopt;
    return Limits{info->minimum, info->maximum};
}

std::string SyncSelectionNames(uint32_t mask) {
    std::string names;
    for (int bit = 0; bit < kSyncBitCount; ++bit)
        if (mask & (1u << bit)) names += kSyncPageNames[bit];
    return names;
}

SourceList FftSources() { return {kFftSourceItems, static_cast<int>(std::size(kFftSourceItems))}; }
SourceList VibrationSources() { return {kVibrationSourceItems, static_cast<int>(std::size(kVibrationSourceItems))}; }

SpectrumBin UnpackSpectrumBin(int32_t word) {
    const uint32_t w = static_cast<uint32_t>(word);
    return {static_cast<int>(w & 0x3FF), static_cast<int>((w >> 10) & 0x3FF), static_cast<int>((w >> 20) & 0x3FF)};
}

int SpectrumSpanHz(int32_t word99) {
    const int span = static_cast<int>(static_cast<uint32_t>(word99) & 0xFFFF);
    return span < 100 ? 100 : span;
}

int SpectrumFullScale(int32_t word99) {
    const int scale = static_cast<int>(static_cast<uint32_t>(word99) >> 16);
    return scale == 0 ? 1 : scale;
}

const ProbeKind* ProbeKindAt(int position) {
    return position >= 0 && position < kProbeKindCount ? &kProbeKinds[position] : nullptr;
}

int ProbeKindPosition(int32_t code) {
    if (code == 0) return -1;
    for (int i = 0; i < kProbeKindCount; ++i)
        if (kProbeKinds[i].command == code || kProbeKinds[i].statusCode == code) return i;
    return -1;
}

ProbeRun ProbeRunAt(int first, int total) {
    const int count = total - first < kProbeRunMax ? total - first : kProbeRunMax;
    return {first, ProbeBufferObject(first), ProbeBufferSub(first), count};
}

const ChartQuantity* ChartQuantities() { return kChartQuantities; }

namespace {
const char* const kXyz[] = {"x", "y", "z"};
const char* const kEulerElements[] = {"roll", "pitch", "yaw"};
const char* const kVibrationElements[] = {"damped_frequency", "damping_ratio", "amplitude"};
const char* const kPeakElements[] = {"x_frequency", "x_magnitude", "y_frequency",
                                     "y_magnitude", "z_frequency", "z_magnitude"};
const QuantityNames kQuantityNames[] = {
    {OBJ_PRODUCT_ID, "product_id", nullptr, 1},
    {OBJ_FIRMWARE_VERSION, "firmware_version", nullptr, 1},
    {OBJ_HARDWARE_VERSION, "hardware_version", nullptr, 1},
    {OBJ_STATUS, "status", nullptr, 1},
    {OBJ_VOLTAGE, "voltage", nullptr, 1},
    {OBJ_TEMPERATURE, "temperature", nullptr, 1},
    {OBJ_ACCELERATION, "acceleration", kXyz, 3},
    {OBJ_ROTATION_RATE, "rotation_rate", kXyz, 3},
    {OBJ_MAGNETIC_FIELD, "magnetic_field", kXyz, 3},
    {OBJ_ACCEL_NO_GRAVITY, "acceleration_no_gravity", kXyz, 3},
    {OBJ_EULER, "euler", kEulerElements, 3},
    {OBJ_VELOCITY, "velocity", kXyz, 3},
    {OBJ_POSITION, "position", kXyz, 3},
    {OBJ_VIBRATION, "vibration", kVibrationElements, 3},
    {OBJ_PEAK, "peak", kPeakElements, 6},
    {OBJ_GRAVITY_ANGLE, "gravity_angle", kXyz, 3},
};

std::string HexName(uint16_t index) {
    char text[24];
    std::snprintf(text, sizeof text, "object_0x%02x", index);
    return text;
}
}  // namespace

const QuantityNames* FindQuantityNames(uint16_t index) {
    for (const QuantityNames& q : kQuantityNames)
        if (q.index == index) return &q;
    return nullptr;
}

std::string QuantityName(uint16_t index) {
    if (const QuantityNames* q = FindQuantityNames(index)) return q->quantity;
    const ObjectInfo* info = Find(index);
    if (info != nullptr && info->mnemonic[0] != '\0') return info->mnemonic;
    return HexName(index);
}

std::string ElementKey(uint16_t index, int element) {
    const QuantityNames* q = FindQuantityNames(index);
    if (q != nullptr && q->elements != nullptr && element >= 0 && element < q->elementCount)
        return q->elements[element];
    if (q != nullptr && q->elements == nullptr && element == 0) return "";
    const ObjectInfo* info = Find(index);
    if (q == nullptr && info != nullptr && info->mnemonic[0] != '\0' && info->count == 1 && element == 0) return "";
    return std::to_string(element);
}

std::string ElementName(uint16_t index, int element) {
    const std::string key = ElementKey(index, element);
    const QuantityNames* q = FindQuantityNames(index);
    const ObjectInfo* info = Find(index);
    // Unnamed elements go by the object's number, also those of a named one.
    const bool named = q != nullptr || (info != nullptr && info->mnemonic[0] != '\0');
    if (!named || (!key.empty() && key == std::to_string(element))) return HexName(index) + "_" + std::to_string(element);
    return key.empty() ? QuantityName(index) : QuantityName(index) + "_" + key;
}

std::optional<double> NaturalFrequency(double dampedHz, double ratio) {
    if (!(ratio >= 0 && ratio < 1)) return std::nullopt;
    return dampedHz / std::sqrt(1 - ratio * ratio);
}

std::optional<double> QFactor(double ratio) {
    if (!(ratio > 0 && ratio <= 1)) return std::nullopt;
    return 1 / (2 * ratio);
}

const char* MagnitudeUnit(int32_t fftSource) {
    switch (fftSource) {
    case 1:
    case 3: return "m/s^2";
    case 2:
    case 4: return "deg/s";
    default: return "";
    }
}

const char* ProductText(int32_t productId) {
    static const std::string tarvik = std::string("Tarvik (") + kProductCode + ")";
    return productId == kProductTarvik ? tarvik.c_str() : "---";
}

std::string StatusText(bool connected, bool fault, bool noReply, int32_t statusWord) {
    if (!connected) return "Device is disconnected.";
    if (fault) return "Communication bus error.";
    if (noReply) return "Device is not responding.";
    const uint32_t word = static_cast<uint32_t>(statusWord);
    if (statusWord >= 0 && word < STATUS_ERROR_FIRST) return "Device is connected.";
    std::string text;
    for (const StatusMessage& m : kStatusMessages)
        if (word & m.mask) text += m.text;
    if (text.empty()) {
        // Only bits without a message (22, 23, 30, 31): name the word so the
        // user sees that something is flagged.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "Device is connected (status 0x%08X).", word);
        return buffer;
    }
    text.replace(text.size() - 2, 2, ".");
    return text;
}

StatusColour StatusColourOf(bool connected, bool fault, bool noReply, int32_t statusWord) {
    const uint32_t word = static_cast<uint32_t>(statusWord);
    if (word & 0xFF000000u) return StatusColour::Red;
    if (word & 0x00FF0000u) return StatusColour::Orange;
    if (connected && (fault || noReply)) return StatusColour::Yellow;
    return StatusColour::Normal;
}

}  // namespace od
