#include "device/port_info.h"

#include "device/serial_com.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

// The path with its links resolved; the path itself when it cannot be.
fs::path Resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::canonical(p, ec);
    if (!ec) return r;
    // A by-id link whose device node is gone still names the device.
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
        const fs::path target = fs::read_symlink(p, ec);
        if (!ec) return (target.is_absolute() ? target : p.parent_path() / target).lexically_normal();
    }
    return p;
}

// The USB device above a tty's device folder: the first parent with an
// idVendor file, up to the root of the tree.
bool FindUsbDevice(const fs::path& from, const fs::path& root, fs::path* usb) {
    std::error_code ec;
    fs::path p = from;
    for (int depth = 0; depth < 8 && !p.empty() && p != root && p != p.root_path(); ++depth) {
        if (fs::exists(p / "idVendor", ec)) {
            *usb = p;
            return true;
        }
        p = p.parent_path();
    }
    return false;
}

std::string UsbDescription(const fs::path& usb) {
    const std::string manufacturer = FirstLine(usb / "manufacturer");
    const std::string product = FirstLine(usb / "product");
    const std::string serial = FirstLine(usb / "serial");
    std::string text = manufacturer;
    if (!product.empty()) text += (text.empty() ? "" : " ") + product;
    if (text.empty())
        text = "USB device " + FirstLine(usb / "idVendor") + ":" + FirstLine(usb / "idProduct");
    if (!serial.empty()) text += " (" + serial + ")";
    return text;
}

}  // namespace

std::string DescribeSerialPort(const std::string& path, const std::string& root) {
    const fs::path rootPath = fs::path(root);
    const fs::path device = Resolved(path);
    std::error_code ec;
    const fs::path pts = Resolved(rootPath / "dev" / "pts");
    if (device.parent_path() == pts) return "pseudo-terminal";

    const fs::path entry = rootPath / "sys" / "class" / "tty" / device.filename();
    if (!fs::exists(entry / "device", ec)) return {};
    const fs::path deviceDir = Resolved(entry / "device");
    fs::path usb;
    if (FindUsbDevice(deviceDir, Resolved(rootPath / "sys"), &usb)) return UsbDescription(usb);
    if (!fs::exists(entry / "device" / "driver", ec)) return {};
    // Newer kernels put the serial core's own "port" and "ctrl" devices
    // (bus serial-base) between the tty and the UART's driver: skip them.
    fs::path p = deviceDir;
    for (int depth = 0; depth < 4 && !p.empty() && p != p.root_path(); ++depth, p = p.parent_path()) {
        const std::string driver = fs::read_symlink(p / "driver", ec).string();
        if (ec || driver.find("/serial-base/") != std::string::npos) continue;
        return "built-in serial port, driver " + fs::path(driver).filename().string();
    }
    return "built-in serial port";
}

std::vector<SerialPortInfo> ListSerialPorts(const std::string& root) {
    const fs::path rootPath = fs::path(root);
    std::vector<SerialPortInfo> ports;
    for (const std::string& p :
         EnumerateSerialPorts((rootPath / "sys" / "class" / "tty").string(), (rootPath / "dev").string()))
        ports.push_back({p, DescribeSerialPort(p, root)});
    return ports;
}

std::string PortDisplayText(const SerialPortInfo& port) {
    return port.description.empty() ? port.path : port.path + " - " + port.description;
}
