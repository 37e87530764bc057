// The port descriptions over a fake sysfs tree: a USB bridge with and without
// a serial number, its stable by-id name and a pseudo-terminal.
#include "device/port_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("tarvik-ports-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "dev");
        fs::create_directories(root / "sys" / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
    }
    void TearDown() override { fs::remove_all(root); }

    static void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text << "\n"; }

    // A USB bridge as the kernel lays it out: the USB device (with its
    // strings), its interface, the usb-serial port and the tty class entry
    // whose "device" link points at the port; and the device node.
    void Bridge(const std::string& tty, const std::string& usb, const std::string& serial) {
        const fs::path device = root / "sys" / "devices" / "pci0000:00" / "usb1" / usb;
        const fs::path port = device / (usb + ":1.0") / tty;
        fs::create_directories(port);
        Write(device / "idVendor", "0403");
        Write(device / "idProduct", "6001");
        Write(device / "manufacturer", "FTDI");
        Write(device / "product", "FT232R USB UART");
        if (!serial.empty()) Write(device / "serial", serial);
        fs::create_directory_symlink(root / "sys" / "bus" / "usb-serial" / "drivers" / "ftdi_sio", port / "driver");
        const fs::path entry = root / "sys" / "class" / "tty" / tty;
        fs::create_directories(entry);
        fs::create_directory_symlink(port, entry / "device");
        Write(root / "dev" / tty, "");
    }

    fs::path root;
};

TEST_F(FakeSysfs, ABridgeShowsManufacturerProductAndSerialNumber) {
    Bridge("ttyUSB0", "1-2", "A50285BI");
    EXPECT_EQ(DescribeSerialPort((root / "dev" / "ttyUSB0").string(), root.string()),
              "FTDI FT232R USB UART (A50285BI)");
}

TEST_F(FakeSysfs, ABridgeWithoutSerialNumberShowsManufacturerAndProduct) {
    Bridge("ttyUSB1", "1-3", "");
    EXPECT_EQ(DescribeSerialPort((root / "dev" / "ttyUSB1").string(), root.string()), "FTDI FT232R USB UART");
}

TEST_F(FakeSysfs, AStableNameIsListedWithTheDescriptionOfItsDevice) {
    Bridge("ttyUSB0", "1-2", "A50285BI");
    const fs::path byId = root / "dev" / "serial" / "by-id";
    fs::create_directories(byId);
    fs::create_symlink("../../ttyUSB0", byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    const std::vector<SerialPortInfo> ports = ListSerialPorts(root.string());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(PortDisplayText(ports[0]),
              (root / "dev" / "ttyUSB0").string() + " - FTDI FT232R USB UART (A50285BI)");
    EXPECT_EQ(ports[1].path, (byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(ports[1].description, "FTDI FT232R USB UART (A50285BI)");
}

TEST_F(FakeSysfs, APseudoTerminalIsNamedSo) {
    fs::create_directories(root / "dev" / "pts");
    Write(root / "dev" / "pts" / "7", "");
    EXPECT_EQ(DescribeSerialPort((root / "dev" / "pts" / "7").string(), root.string()), "pseudo-terminal");
}

TEST_F(FakeSysfs, APortSysfsKnowsNothingOfHasNoDescription) {
    Write(root / "dev" / "ttyX9", "");
    const SerialPortInfo port{(root / "dev" / "ttyX9").string(), ""};
    EXPECT_EQ(DescribeSerialPort(port.path, root.string()), "");
    EXPECT_EQ(PortDisplayText(port), port.path);
}

}  // namespace
