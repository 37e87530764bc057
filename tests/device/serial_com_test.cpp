// CSerialCOM against a real pseudo-terminal: the test holds the master side.
#include "device/serial_com.h"
#include "tests/support/pty.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

class SerialComTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); }
    CPty pty;
};

TEST(SerialComClosedTest, ClosedPortAnswersEveryOperationWithFailure) {
    CSerialCOM port("/dev/does-not-exist-tarvik", 115200);
    EXPECT_FALSE(port.IsOpen());
    char buf[4] = {};
    EXPECT_EQ(port.Read(buf, 4), -1);
    EXPECT_EQ(port.Write(buf, 4), -1);
    EXPECT_EQ(port.GetInQueue(), -1);
    EXPECT_EQ(port.GetOutQueue(), -1);
    EXPECT_EQ(port.WaitForInput(10), -1);
    EXPECT_FALSE(port.Close());
    EXPECT_FALSE(port.SetTimeouts(1, 0, 1, 0, 100));
    port.Purge();  // harmless
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.EnsureOpen());
    EXPECT_TRUE(port.IsReady());
}

TEST(SerialComClosedTest, APathLongerThan259CharactersIsRefusedAndNamed) {
    const std::string tooLong = "/dev/" + std::string(CSerialCOM::kMaxPortName - 4, 'x');
    CSerialCOM port(tooLong.c_str(), 9600);
    EXPECT_EQ(std::string(port.PortName()), tooLong);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.LastError(), ENAMETOOLONG);
    EXPECT_NE(DescribeOpenError(port.LastError(), tooLong).find("longer than 259"), std::string::npos);
    CSerialCOM empty(nullptr, 9600);
    EXPECT_STREQ(empty.PortName(), "");
}

TEST(SerialComClosedTest, AMissingPortSaysSo) {
    CSerialCOM port("/dev/does-not-exist-tarvik", 9600);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(DescribeOpenError(port.LastError(), port.PortName()), "no such port /dev/does-not-exist-tarvik");
}

TEST(SerialComClosedTest, PermissionDeniedNamesTheOwningGroup) {
    const std::string text = DescribeOpenError(EACCES, "/dev/null");
    EXPECT_EQ(text.rfind("permission denied on /dev/null: the user must be in the group owning the device", 0), 0u);
    EXPECT_NE(text.find("usually dialout"), std::string::npos) << text;
}

TEST(SerialComClosedTest, ANonTerminalIsRefused) {
    CSerialCOM port("/dev/null", 9600);
    EXPECT_FALSE(port.Open());
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialComTest, OpenCloseAndReopen) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_GE(port.Handle(), 0);
    EXPECT_TRUE(port.Open());  // open on an open port closes and reopens
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.EnsureOpen());
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_FALSE(port.Close());
    EXPECT_TRUE(port.EnsureOpen());
    EXPECT_TRUE(port.IsOpen());
}

// A by-id style name of 60+ characters opens the port it names.
TEST_F(SerialComTest, FullLengthPathOpens) {
    CTempDir dir;
    const std::string link = dir.File("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ASSERT_EQ(symlink(pty.SlavePath().c_str(), link.c_str()), 0);
    CSerialCOM port(link.c_str(), 115200);
    EXPECT_TRUE(port.Open()) << port.LastError();
    EXPECT_EQ(std::string(port.PortName()), link);
    port.Close();
}

TEST_F(SerialComTest, ExclusiveFlagIsClearedByClose) {
    const int probe = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(probe, 0);
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    int excl = 0;
    ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 1);
    port.Close();
    ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 0);
    ::close(probe);
}

// Root ignores the exclusive flag, so the reopen is tried as a normal user.
TEST_F(SerialComTest, AnUnprivilegedUserCanOpenThePortAfterClose) {
    {
        CSerialCOM port(pty.SlavePath().c_str(), 115200);
        ASSERT_TRUE(port.Open());
        port.Close();
    }
    if (geteuid() != 0) {
        CSerialCOM again(pty.SlavePath().c_str(), 115200);
        EXPECT_TRUE(again.Open()) << DescribeOpenError(again.LastError(), again.PortName());
        return;
    }
    const std::string setpriv = "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
    if (std::system((setpriv + "true >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "setpriv cannot switch to an unprivileged user here; reopen as a normal user not tested";
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
    const std::string open = setpriv + "sh -c 'exec 3<>\"$0\"' " + pty.SlavePath() + " 2>/dev/null";
    EXPECT_EQ(std::system(open.c_str()), 0) << "a normal user could not open the port after Close";
}

TEST_F(SerialComTest, SecondOpenOfTheSamePortFailsUntilTheFirstCloses) {
    CSerialCOM first(pty.SlavePath().c_str(), 115200);
    CSerialCOM second(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(DescribeOpenError(second.LastError(), second.PortName()).find("in use by another program"),
              std::string::npos);
    first.Close();
    EXPECT_TRUE(second.Open());
}

TEST_F(SerialComTest, LineIsRawEightNoneOneAtAnyRate) {
    CSerialCOM port(pty.SlavePath().c_str(), 250000);  // not a standard constant
    ASSERT_TRUE(port.Open());
    termios2 tio{};
    ASSERT_TRUE(pty.SlaveTermios(&tio));
    EXPECT_EQ(tio.c_ospeed, 250000u);
    EXPECT_EQ(tio.c_ispeed, 250000u);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Raw both ways: CR, LF, XON/XOFF and NUL pass unchanged.
    const char out[] = {'\r', '\n', 0x11, 0x13, 0x00, 0x03, 0x7f};
    EXPECT_EQ(port.Write(out, sizeof out), static_cast<int32_t>(sizeof out));
    EXPECT_EQ(pty.Receive(sizeof out, 2000), std::string(out, sizeof out));
    pty.Send(out, sizeof out);
    char in[16] = {};
    ASSERT_TRUE(port.SetTimeouts(1, 0, 2000, 0, 100));
    int32_t got = 0;
    for (int i = 0; i < 50 && got < static_cast<int32_t>(sizeof out); ++i) {
        const int32_t r = port.Read(in + got, static_cast<int32_t>(sizeof out) - got);
        ASSERT_GE(r, 0);
        got += r;
    }
    EXPECT_EQ(std::string(in, static_cast<size_t>(got)), std::string(out, sizeof out));

    CSerialCOM standard(pty.SlavePath().c_str(), 921600);
    port.Close();
    ASSERT_TRUE(standard.Open());
    ASSERT_TRUE(pty.SlaveTermios(&tio));
    EXPECT_EQ(tio.c_ospeed, 921600u);
}

TEST_F(SerialComTest, QueueCountsAndPurge) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    EXPECT_EQ(port.GetInQueue(), 0);
    EXPECT_EQ(port.GetOutQueue(), 0);
    pty.Send("hello", 5);
    EXPECT_EQ(port.WaitForInput(2000), 5);
    EXPECT_EQ(port.GetInQueue(), 5);
    char buf[8] = {};
    EXPECT_EQ(port.Read(buf, 2), 2);
    EXPECT_EQ(port.GetInQueue(), 3);
    port.Purge();
    EXPECT_EQ(port.GetInQueue(), 0);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialComTest, ReadTimeOuts) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    char buf[64];

    // Nothing arrives: the read ends after the total constant with 0 bytes.
    ASSERT_TRUE(port.SetTimeouts(1, 0, 100, 0, 100));
    auto t = Clock::now();
    EXPECT_EQ(port.Read(buf, 10), 0);
    const int64_t waited = MsSince(t);
    EXPECT_GE(waited, 90);
    EXPECT_LT(waited, 5000);
    EXPECT_TRUE(port.IsOpen());

    // Fewer bytes than asked: the interval ends the read long before the total.
    ASSERT_TRUE(port.SetTimeouts(20, 0, 10000, 0, 100));
    pty.Send("abc", 3);
    t = Clock::now();
    EXPECT_EQ(port.Read(buf, 10), 3);
    EXPECT_LT(MsSince(t), 5000);

    // Total constant 1 and no interval, as after connecting: returns at once with what waits.
    ASSERT_TRUE(port.SetTimeouts(0, 0, 1, 0, 100));
    pty.Send("xyz", 3);
    ASSERT_EQ(port.WaitForInput(2000), 3);
    EXPECT_EQ(port.Read(buf, 64), 3);
    EXPECT_EQ(port.Read(buf, 64), 0);

    // WaitForInput with nothing coming runs out with 0.
    t = Clock::now();
    EXPECT_EQ(port.WaitForInput(30), 0);
    EXPECT_GE(MsSince(t), 25);
}

TEST_F(SerialComTest, OpenRestoresTheDefaultTimeOuts) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(port.SetTimeouts(0, 0, 3000, 0, 100));
    ASSERT_TRUE(port.Open());
    char buf[4];
    const auto t = Clock::now();
    EXPECT_EQ(port.Read(buf, 4), 0);  // 100 ms total again, not 3 s
    EXPECT_LT(MsSince(t), 2500);
}

TEST_F(SerialComTest, PeerHangUpFailsTheReadAndClosesThePort) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(port.SetTimeouts(1, 0, 5000, 0, 100));
    pty.CloseMaster();

    auto t = Clock::now();
    EXPECT_EQ(port.WaitForInput(5000), -1);
    EXPECT_EQ(port.GetInQueue(), -1);
    EXPECT_LT(MsSince(t), 2000);  // reported, not waited out

    char buf[16];
    t = Clock::now();
    EXPECT_EQ(port.Read(buf, 16), -1);
    EXPECT_LT(MsSince(t), 2000);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Read(buf, 16), -1);
    EXPECT_EQ(port.Write(buf, 1), -1);
}

TEST_F(SerialComTest, WriteToAHungUpPeerFailsAndCloses) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    pty.CloseMaster();
    const auto t = Clock::now();
    EXPECT_EQ(port.Write("abc", 3), -1);
    EXPECT_LT(MsSince(t), 2000);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialComTest, WriteIntoAFullQueueStopsAtTheWriteTotal) {
    CSerialCOM port(pty.SlavePath().c_str(), 115200);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(port.SetTimeouts(1, 0, 1, 0, 100));
    // Nobody reads the master: the pty buffer fills and the write returns
    // what went out once the 100 ms write total has run out.
    std::string big(1 << 20, 'w');
    const auto t = Clock::now();
    const int32_t n = port.Write(big.data(), static_cast<int32_t>(big.size()));
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<int32_t>(big.size()));
    EXPECT_LT(MsSince(t), 5000);
    EXPECT_TRUE(port.IsOpen());
}

}  // namespace
