// The protocol layer driven in-process over a real serial port (a pty served
// by tarvik-sim) while the simulator injects faults: the results and the
// back-off marks of CObjectAccess as the status line would see them.
#include "device/object_access.h"
#include "device/serial_com.h"
#include "device/tick.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

int LogLines(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) ++n;
    return n;
}

class LinkE2e : public ::testing::Test {
protected:
    void Start(std::vector<std::string> extra) {
        extra.push_back("--log");
        extra.push_back(LogPath());
        if (!sim.Start(dir.File("tty"), extra)) FAIL() << sim.Error();
        port = std::make_unique<CSerialCOM>(dir.File("tty").c_str(), 115200);
        ASSERT_TRUE(port->Open());
        access = std::make_unique<CObjectAccess>(port.get(), timeoutMs, 1);
    }
    std::string LogPath() const { return dir.File("requests.log"); }
    bool GetProduct(int32_t* value) { return access->GetObjectXXX(OBJ_INT32, 0x02, 0, value, 1); }

    int32_t timeoutMs = 30;
    CTempDir dir;
    CSimProcess sim;
    std::unique_ptr<CSerialCOM> port;
    std::unique_ptr<CObjectAccess> access;
};

TEST_F(LinkE2e, DroppedReplySilencesTheLinkForOneSecond) {
    Start({"--no-pace", "--drop-replies", "1"});
    if (IsSkipped() || HasFatalFailure()) return;
    int32_t v = 7;
    EXPECT_FALSE(GetProduct(&v));
    EXPECT_EQ(v, 7);
    EXPECT_NE(access->NoReplyTime(), 0u);
    EXPECT_EQ(access->FaultTime(), 0u);
    // The simulator logged the one request; give it a moment to flush.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int logged = LogLines(LogPath());
    EXPECT_EQ(logged, 1);
    // Within the second: fails at once, nothing written to the port.
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(GetProduct(&v));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(LogLines(LogPath()), logged);
    // After the second the next call tries again.
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    EXPECT_FALSE(GetProduct(&v));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(LogLines(LogPath()), logged + 1);
}

TEST_F(LinkE2e, CorruptChecksumFailsWithoutBackOff) {
    Start({"--no-pace", "--corrupt-checksum", "1"});
    if (IsSkipped() || HasFatalFailure()) return;
    int32_t v = 7;
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(GetProduct(&v));
        EXPECT_EQ(access->NoReplyTime(), 0u);
        EXPECT_EQ(access->FaultTime(), 0u);
    }
    EXPECT_EQ(v, 7);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(LogLines(LogPath()), 5);   // every call reached the module
}

TEST_F(LinkE2e, NoiseAndSplitRepliesStillSucceed) {
    Start({"--no-pace", "--noise-before-stx", "1", "--split-replies", "3"});
    if (IsSkipped() || HasFatalFailure()) return;
    for (int i = 0; i < 20; ++i) {
        int32_t v = 0;
        ASSERT_TRUE(GetProduct(&v)) << "exchange " << i;
        EXPECT_EQ(v, 1011);
        float euler[3] = {};
        ASSERT_TRUE(access->GetObjectXXX(OBJ_FLOAT32, 0x37, 0, euler, 3));
    }
}

TEST_F(LinkE2e, DelayedReplyMissesAShortTimeOut) {
    Start({"--no-pace", "--delay-replies", "100"});
    if (IsSkipped() || HasFatalFailure()) return;
    int32_t v = 0;
    EXPECT_FALSE(GetProduct(&v));
    EXPECT_NE(access->NoReplyTime(), 0u);
    // The late reply is drained by the next exchange, which waits long enough.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    CObjectAccess patient(port.get(), 500, 1);
    EXPECT_TRUE(patient.GetObjectXXX(OBJ_INT32, 0x02, 0, &v, 1));
    EXPECT_EQ(v, 1011);
}

TEST_F(LinkE2e, UnplugFaultsThePortAndRecoversWhenTheLinkReturns) {
    Start({"--no-pace", "--unplug-after", "1", "--unplug-for", "2"});
    if (IsSkipped() || HasFatalFailure()) return;
    bool sawFault = false, recovered = false;
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        int32_t v = 0;
        bool ok = GetProduct(&v);
        if (access->FaultTime() != 0) sawFault = true;
        if (sawFault && ok && v == 1011) {
            recovered = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(sawFault);
    EXPECT_TRUE(recovered);
    EXPECT_EQ(access->FaultTime(), 0u);
}

}  // namespace
