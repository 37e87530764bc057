#pragma once
// What the system knows of each serial port, read from sysfs: for a USB
// bridge its manufacturer, product and serial number, for a built-in UART its
// driver, for a pseudo-terminal just that. Opens no port.
#include <string>
#include <vector>

struct SerialPortInfo {
    std::string path;         // as EnumerateSerialPorts gives it: /dev/ttyUSB0, /dev/serial/by-id/...
    std::string description;  // "FTDI FT232R USB UART (A50285BI)"; empty when nothing is known
};

// The description of one port path. `root` is the folder that holds sys/ and
// dev/ ("/" on a running system; tests lay out a fake tree): a path under
// root/dev/serial/by-id is followed to its device. A path that does not exist
// is described by its name when sysfs knows a device of that name.
std::string DescribeSerialPort(const std::string& path, const std::string& root = "/");

// Every port of EnumerateSerialPorts (device nodes, then their by-id names)
// under root, each with its description.
std::vector<SerialPortInfo> ListSerialPorts(const std::string& root = "/");

// "path - description", or the path alone when there is no description: the
// text of one entry of a port list.
std::string PortDisplayText(const SerialPortInfo& port);
