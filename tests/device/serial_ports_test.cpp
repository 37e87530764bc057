// The port list and the FTDI latency set-up over fake sysfs trees.
#include "device/serial_com.h"
#include "device/tick.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FakeTree : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(root / "drivers"); }

    fs::path Driver(const std::string& name) {
        fs::create_directories(root / "drivers" / name);
        return root / "drivers" / name;
    }
    // /sys/class/tty/<name>, with a device/driver link when driver is given.
    void Tty(const std::string& name, const std::string& driver, const char* type = nullptr) {
        const fs::path entry = root / "class" / "tty" / name;
        fs::create_directories(entry);
        if (!driver.empty()) {
            fs::create_directories(entry / "device");
            fs::create_directory_symlink(Driver(driver), entry / "device" / "driver");
        }
        if (type) std::ofstream(entry / "type") << type << "\n";
    }
    // /sys/bus/usb-serial/devices/<name> with its driver link and latency_timer.
    fs::path UsbSerial(const std::string& name, const std::string& driver) {
        const fs::path dev = root / "usb-serial" / name;
        fs::create_directories(dev);
        fs::create_directory_symlink(Driver(driver), dev / "driver");
        std::ofstream(dev / "latency_timer") << "16\n";
        return dev;
    }
    static std::string ReadAll(const fs::path& p) {
        std::ifstream in(p);
        std::string s;
        std::getline(in, s);
        return s;
    }

    CTempDir dir;
    fs::path root = dir.Path();
};

TEST_F(FakeTree, ListsDriverBackedPortsRealUartsAndStableNames) {
    Tty("console", "");
    Tty("tty0", "");
    Tty("ttyACM0", "cdc_acm");
    Tty("ttyUSB1", "ftdi_sio");
    Tty("ttyUSB0", "ftdi_sio");
    Tty("ttyS0", "serial8250", "4");    // a 16550A
    Tty("ttyS1", "serial8250", "0");    // PORT_UNKNOWN: no UART there
    Tty("ttyS2", "serial8250");         // no type attribute: taken as absent
    Tty("ttyS4", "dw-apb-uart");        // another UART driver, no type: present
    Tty("ttyS5", "");                   // no device at all
    fs::create_directories(root / "dev" / "serial" / "by-id");
    std::ofstream(root / "dev" / "serial" / "by-id" / "usb-FTDI_FT232R_A50285BI-if00-port0");

    const std::string dev = (root / "dev").string();
    const std::vector<std::string> ports = EnumerateSerialPorts((root / "class" / "tty").string(), dev);
    EXPECT_EQ(ports, (std::vector<std::string>{
                         dev + "/ttyACM0", dev + "/ttyS0", dev + "/ttyS4", dev + "/ttyUSB0", dev + "/ttyUSB1",
                         dev + "/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"}));
}

TEST_F(FakeTree, MissingTreesGiveAnEmptyList) {
    EXPECT_TRUE(EnumerateSerialPorts((root / "nothing").string(), (root / "nodev").string()).empty());
    SetFtdiLatency((root / "nothing").string());  // silently nothing
}

TEST_F(FakeTree, SetsEveryFtdiLatencyAndSkipsWhatCannotBeWritten) {
    const fs::path a = UsbSerial("ttyUSB0", "ftdi_sio");
    const fs::path broken = UsbSerial("ttyUSB1", "ftdi_sio");
    const fs::path c = UsbSerial("ttyUSB2", "ftdi_sio");
    const fs::path other = UsbSerial("ttyUSB3", "pl2303");
    // An attribute that cannot be opened for writing (also when running as root).
    fs::remove(broken / "latency_timer");
    fs::create_directory(broken / "latency_timer");

    SetFtdiLatency((root / "usb-serial").string());
    EXPECT_EQ(ReadAll(a / "latency_timer"), "1");
    EXPECT_EQ(ReadAll(c / "latency_timer"), "1");
    EXPECT_EQ(ReadAll(other / "latency_timer"), "16");
    EXPECT_TRUE(fs::is_directory(broken / "latency_timer"));
}

TEST(TickTest, MillisecondTicksAdvance) {
    const uint32_t a = GetTickCountMs();
    ::usleep(20000);
    const uint32_t b = GetTickCountMs();
    EXPECT_GE(b - a, 15u);
    EXPECT_LT(b - a, 5000u);
}

}  // namespace
