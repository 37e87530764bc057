// tarvik-sim over real pseudo-terminals where framing and timing matter: the
// sync data stream (period, port, line format, the sync log), the restart's
// silence and new rate, the answer to the factory-save text, and control lines.
#include "device/object_access.h"
#include "device/serial_com.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class SimE2e : public ::testing::Test {
protected:
    void Start(std::vector<std::string> extra) {
        extra.insert(extra.end(), {"--log", dir.File("log"), "--control", dir.File("ctl")});
        if (!sim.Start(dir.File("tty"), extra)) FAIL() << sim.Error();
    }
    // A port and protocol at `baud`; each exchange with a fresh protocol object
    // so that one silent reply does not hold back the next try.
    bool Open(uint32_t baud, const char* name = "tty") {
        port = std::make_unique<CSerialCOM>(dir.File(name).c_str(), baud);
        return port->Open();
    }
    bool SetInt(uint16_t index, int32_t value, int tries = 5) {
        for (int i = 0; i < tries; ++i) {
            CObjectAccess access(port.get(), 100, 1);
            int32_t v = value;
            if (access.SetObjectXXX(OBJ_INT32, index, &v)) return true;
            SleepMs(20);
        }
        return false;
    }
    bool GetInt(uint16_t index, int32_t* value, uint8_t sub = 0, int count = 1) {
        CObjectAccess access(port.get(), 100, 1);
        return access.GetObjectXXX(OBJ_INT32, index, sub, value, count);
    }
    // Everything the port receives for `ms` milliseconds.
    std::string Collect(int ms) {
        std::string got;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        char buf[4096];
        while (Clock::now() < end) {
            const int32_t n = port->GetInQueue() > 0 ? port->Read(buf, sizeof buf) : 0;
            if (n > 0) got.append(buf, static_cast<size_t>(n));
            else SleepMs(2);
        }
        return got;
    }
    void Control(const std::string& line) {
        const int fd = ::open(dir.File("ctl").c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        const std::string text = line + "\n";
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
        SleepMs(50);  // the simulator reads its FIFO every millisecond
    }

    CTempDir dir;
    CSimProcess sim;
    std::unique_ptr<CSerialCOM> port;
};

TEST_F(SimE2e, SyncLinesStreamAtThePeriodOnTheNamedPort) {
    Start({"--link1", dir.File("tty1"), "--baud", "921600", "--baud1", "921600", "--sync-log", dir.File("sync")});
    if (IsSkipped()) return;
    ASSERT_TRUE(Open(921600));
    ASSERT_TRUE(SetInt(0x1f, 10));
    ASSERT_TRUE(SetInt(0x20, 0xFFF));
    Collect(200);  // the first lines may follow a reply in the same read
    const std::string text = Collect(1000);
    // Whole lines of at most 252 bytes with CR LF, about one per 10 ms.
    size_t lines = 0, start = text.find("\r\n") + 2;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2, ++lines) {
        EXPECT_LE(end + 2 - start, 252u);
        EXPECT_EQ(text.compare(start, 5, "time,"), 0) << text.substr(start, 40);
    }
    EXPECT_GE(lines, 50u);
    EXPECT_LE(lines, 110u);
    // What the PC received is what the simulator says it sent, in order.
    EXPECT_NE(ReadAll(dir.File("sync")).find(text), std::string::npos);

    // Port 0 is the other link: the stream moves there.
    ASSERT_TRUE(SetInt(0x1e, 0));
    Collect(100);
    EXPECT_EQ(Collect(300), "");
    ASSERT_TRUE(Open(921600, "tty1"));
    Collect(100);
    EXPECT_NE(Collect(300).find("\r\ntime,"), std::string::npos);
}

TEST_F(SimE2e, RestartIsSilentThenAnswersAtTheFlashedRate) {
    Start({});
    if (IsSkipped()) return;
    ASSERT_TRUE(Open(115200));
    ASSERT_TRUE(SetInt(0x0c, 57600));
    ASSERT_TRUE(SetInt(0x06, 1));
    SleepMs(500);
    ASSERT_TRUE(SetInt(0x06, 99, 1));
    int32_t v = 0;
    EXPECT_FALSE(GetInt(0x02, &v));  // restarting
    SleepMs(1200);
    EXPECT_FALSE(GetInt(0x02, &v));  // the old rate is gone
    ASSERT_TRUE(Open(57600));
    EXPECT_TRUE(GetInt(0x02, &v));
    EXPECT_EQ(v, 1011);
}

TEST_F(SimE2e, FactorySaveTextIsAnsweredAfterItsFlashWrite) {
    Start({});
    if (IsSkipped()) return;
    ASSERT_TRUE(Open(115200));
    ASSERT_EQ(port->Write("/f\r\n", 4), 4);
    EXPECT_EQ(Collect(100), "");
    EXPECT_EQ(Collect(400), "factory calibration saved\r\n");
    EXPECT_NE(ReadAll(dir.File("log")).find("text /f\n"), std::string::npos);
}

TEST_F(SimE2e, ControlLinesReachTheModule) {
    Start({"--calibration-time", "gyro-accel=0.3"});
    if (IsSkipped()) return;
    ASSERT_TRUE(Open(115200));
    Control("probe-wave ramp");
    Control("fail-calibration gyro-accel");
    ASSERT_TRUE(SetInt(0x06, 1004));
    int32_t status = 0;
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < until && !(GetInt(0x05, &status) && (status & 0x1000))) SleepMs(20);
    ASSERT_EQ(status & 0x1F00, 0x1400);
    int32_t block[32] = {};
    ASSERT_TRUE(GetInt(0x28, block, 0, 32));
    EXPECT_EQ(block[0], -1280);
    EXPECT_EQ(block[31], -970);
    ASSERT_TRUE(SetInt(0x06, 3));
    SleepMs(600);
    ASSERT_TRUE(GetInt(0x05, &status));
    EXPECT_EQ(static_cast<uint32_t>(status) & 0x1000Fu, 0x10000u);
}

}  // namespace
