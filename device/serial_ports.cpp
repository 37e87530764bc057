// The serial port list and the FTDI latency set-up, both read from sysfs.
#include "device/serial_com.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Entry names of a directory, sorted; empty when it cannot be read.
std::vector<std::string> SortedEntries(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Last component of the target of a driver link (…/drivers/ftdi_sio → "ftdi_sio").
std::string DriverName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

bool ReadFirstLine(const fs::path& file, std::string* line) {
    std::ifstream in(file);
    if (!in) return false;
    std::getline(in, *line);
    return static_cast<bool>(in) || !line->empty();
}

// A ttyS entry exists for every possible 8250 port; only those with a UART
// behind them are real. The serial core exports the UART type (0 means
// PORT_UNKNOWN: nothing there). Without that file, an 8250 port is taken as
// absent and a port of any other driver as present.
bool IsRealUart(const fs::path& entry) {
    std::string type;
    if (ReadFirstLine(entry / "type", &type)) {
        try {
            return std::stoi(type) != 0;
        } catch (...) {
            return false;
        }
    }
    const std::string driver = DriverName(entry / "device" / "driver");
    return !driver.empty() && driver != "serial8250";
}

}  // namespace

std::vector<std::string> EnumerateSerialPorts(const std::string& sysClassTty, const std::string& devDir) {
    std::vector<std::string> ports;
    for (const std::string& name : SortedEntries(sysClassTty)) {
        const fs::path entry = fs::path(sysClassTty) / name;
        std::error_code ec;
        // Virtual terminals, ptys and the like have no device driver behind them.
        if (!fs::exists(entry / "device" / "driver", ec)) continue;
        if (name.rfind("ttyS", 0) == 0 && !IsRealUart(entry)) continue;
        ports.push_back((fs::path(devDir) / name).string());
    }
    const fs::path byId = fs::path(devDir) / "serial" / "by-id";
    for (const std::string& name : SortedEntries(byId)) ports.push_back((byId / name).string());
    return ports;
}

std::vector<std::string> EnumerateSerialPorts() { return EnumerateSerialPorts("/sys/class/tty", "/dev"); }

void SetFtdiLatency(const std::string& usbSerialDevices) {
    for (const std::string& name : SortedEntries(usbSerialDevices)) {
        const fs::path device = fs::path(usbSerialDevices) / name;
        if (DriverName(device / "driver") != "ftdi_sio") continue;
        // Without the right to write (or without the attribute) this device
        // stays as it is; the others are still set.
        std::ofstream out(device / "latency_timer");
        if (out) out << "1\n";
    }
}

void SetFtdiLatency() { SetFtdiLatency("/sys/bus/usb-serial/devices"); }
