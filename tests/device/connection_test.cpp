// TryConnect / ConnectDevice against a small scripted module on a pty.
#include "device/connection.h"
#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "device/serial_com.h"
#include "tests/support/pty.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Answers get requests of object 0x02 with a product id, optionally only
// while the slave's line speed is one given rate. Records every byte it got
// and the line speed at each request.
class CResponder {
public:
    // streaming: until the first request, text lines are sent without pause
    // from a second thread, like a module streaming sync data at full speed.
    CResponder(CPty& pty, int32_t productId, uint32_t onlyAtRate, bool streaming = false)
        : m_pty(pty), m_productId(productId), m_onlyAtRate(onlyAtRate), m_streaming(streaming),
          m_thread([this] { Run(); }) {
        if (streaming) m_streamer = std::thread([this] { Stream(); });
    }
    ~CResponder() {
        m_stop = true;
        m_streaming = false;
        if (m_streamer.joinable()) m_streamer.join();
        m_thread.join();
    }
    int64_t StreamedBytes() const { return m_streamed; }

    std::string Raw() {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_raw;
    }
    std::vector<uint32_t> RequestRates() {
        std::lock_guard<std::mutex> g(m_mutex);
        return m_rates;
    }

private:
    void Run() {
        std::string pending;
        while (!m_stop) {
            pollfd p{m_pty.Master(), POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0) continue;
            char buf[512];
            const ssize_t r = (p.revents & POLLIN) ? ::read(m_pty.Master(), buf, sizeof buf) : -1;
            if (r <= 0) {  // slave closed between attempts
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            {
                std::lock_guard<std::mutex> g(m_mutex);
                m_raw.append(buf, static_cast<size_t>(r));
            }
            pending.append(buf, static_cast<size_t>(r));
            Parse(&pending);
        }
    }

    void Stream() {
        std::string lines;
        while (lines.size() < 4096) lines += "1,0.123,-4.567,89.012,0.001,0.002,0.003\r\n";
        while (m_streaming) {
            m_streamIdle = false;
            pollfd p{m_pty.Master(), POLLOUT, 0};
            if (m_streaming && ::poll(&p, 1, 5) > 0 && (p.revents & POLLOUT) && !(p.revents & POLLHUP)) {
                const ssize_t r = ::write(m_pty.Master(), lines.data(), lines.size());
                if (r > 0) m_streamed += r;
            } else if (p.revents & POLLHUP) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            m_streamIdle = true;
        }
        m_streamIdle = true;
    }

    void StopStreaming() {
        m_streaming = false;
        while (m_streamer.joinable() && !m_streamIdle) std::this_thread::yield();
    }

    void Parse(std::string* pending) {
        for (;;) {
            const size_t stx = pending->find(static_cast<char>(frame::STX));
            if (stx == std::string::npos) {
                pending->clear();
                return;
            }
            pending->erase(0, stx);
            if (pending->size() < 2) return;
            const size_t n = static_cast<uint8_t>((*pending)[1]) + 4u;
            if (pending->size() < n) return;
            const std::string f = pending->substr(0, n);
            pending->erase(0, n);
            const auto* b = reinterpret_cast<const uint8_t*>(f.data());
            if (n != 13 || (b[3] & 0xF0) != frame::OP_GET_REQUEST || b[4] != 0x02 || b[5] != 0) continue;
            StopStreaming();  // nothing may follow the reply in the same read
            termios2 tio{};
            m_pty.SlaveTermios(&tio);
            {
                std::lock_guard<std::mutex> g(m_mutex);
                m_rates.push_back(tio.c_ospeed);
            }
            if (m_onlyAtRate != 0 && tio.c_ospeed != m_onlyAtRate) continue;  // garbage at that speed: silence
            uint8_t data[4];
            for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(static_cast<uint32_t>(m_productId) >> (8 * i));
            uint8_t reply[13];
            frame::Build(reply, b[2], frame::OP_GET_REPLY | OBJ_INT32, 0x02, 0, data, 1);
            m_pty.Send(reply, sizeof reply);
        }
    }

    CPty& m_pty;
    int32_t m_productId;
    uint32_t m_onlyAtRate;
    std::atomic<bool> m_streaming;
    std::atomic<bool> m_streamIdle{true};
    std::atomic<int64_t> m_streamed{0};
    std::thread m_streamer;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_raw;
    std::vector<uint32_t> m_rates;
    std::thread m_thread;  // last: starts after the members above exist
};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); }
    void TearDown() override { DisconnectDevice(); }
    // Generous time-out: CI machines are slow and loaded.
    static constexpr int32_t kTimeout = 300;
    CPty pty;
};

TEST_F(ConnectionTest, AcceptsTheSupportedModuleAndPublishesBothGlobals) {
    CResponder module(pty, 1011, 0);
    ASSERT_TRUE(TryConnect(pty.SlavePath().c_str(), 115200, kTimeout, 0x105));
    ASSERT_NE(g_pSerialCom, nullptr);
    ASSERT_NE(g_pObjectAccess, nullptr);
    EXPECT_EQ(g_pObjectAccess->Port(), g_pSerialCom);
    EXPECT_EQ(g_pSerialCom->BaudRate(), 115200u);
    EXPECT_EQ(g_pObjectAccess->TransactionTimeout(), kTimeout);
    EXPECT_TRUE(g_pSerialCom->IsOpen());

    // Wake-up text, then the identification request with the low byte of the id.
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += "\r\n";
    expected += "*\r\n";
    const uint8_t request[13] = {0x02, 0x09, 0x05, 0x38, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x40, 0x03};
    expected.append(reinterpret_cast<const char*>(request), sizeof request);
    EXPECT_EQ(module.Raw(), expected);

    // The published connection works.
    int32_t product = 0;
    EXPECT_TRUE(g_pObjectAccess->GetObjectXXX(OBJ_INT32, 0x02, 0, &product, 1));
    EXPECT_EQ(product, 1011);

    DisconnectDevice();
    EXPECT_EQ(g_pSerialCom, nullptr);
    EXPECT_EQ(g_pObjectAccess, nullptr);
    CSerialCOM again(pty.SlavePath().c_str(), 115200);
    EXPECT_TRUE(again.Open());  // the port was closed
    DisconnectDevice();  // harmless when disconnected
}

TEST_F(ConnectionTest, RefusesAnotherProductAtEveryRate) {
    CResponder module(pty, 1010, 0);
    uint32_t found = 12345;
    EXPECT_FALSE(ConnectDevice(pty.SlavePath().c_str(), 0, kTimeout, 1, &found));
    EXPECT_EQ(found, 12345u);
    EXPECT_EQ(g_pSerialCom, nullptr);
    EXPECT_EQ(g_pObjectAccess, nullptr);
    EXPECT_EQ(module.RequestRates(),
              (std::vector<uint32_t>{9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600}));
    CSerialCOM again(pty.SlavePath().c_str(), 9600);
    EXPECT_TRUE(again.Open());  // no attempt left the port open
}

TEST_F(ConnectionTest, AutoDetectionFindsTheModuleOnTheFifthRate) {
    CResponder module(pty, 1011, 115200);
    uint32_t found = 0;
    ASSERT_TRUE(ConnectDevice(pty.SlavePath().c_str(), 0, kTimeout, 1, &found));
    EXPECT_EQ(found, 115200u);
    ASSERT_NE(g_pSerialCom, nullptr);
    EXPECT_EQ(g_pSerialCom->BaudRate(), 115200u);
    EXPECT_EQ(module.RequestRates(), (std::vector<uint32_t>{9600, 19200, 38400, 57600, 115200}));
}

TEST_F(ConnectionTest, AFixedRateIsTriedOnceAndUnchanged) {
    CResponder module(pty, 1011, 250000);
    uint32_t found = 0;
    EXPECT_FALSE(ConnectDevice(pty.SlavePath().c_str(), 57600, kTimeout, 1, &found));
    EXPECT_EQ(module.RequestRates(), (std::vector<uint32_t>{57600}));
    ASSERT_TRUE(ConnectDevice(pty.SlavePath().c_str(), 250000, kTimeout, 1, &found));  // not in the list
    EXPECT_EQ(found, 250000u);
}

TEST_F(ConnectionTest, ConnectsWhileTheModuleStreamsWithoutPause) {
    // The input queue never runs dry while the wake-up answer is discarded:
    // the discarding must still end and the identification go out.
    CResponder module(pty, 1011, 0, true);
    ASSERT_TRUE(TryConnect(pty.SlavePath().c_str(), 921600, kTimeout, 1));
    EXPECT_GT(module.StreamedBytes(), 0);
    EXPECT_EQ(module.RequestRates(), (std::vector<uint32_t>{921600}));
}

TEST_F(ConnectionTest, ReconnectingReplacesTheOldConnection) {
    CResponder module(pty, 1011, 0);
    ASSERT_TRUE(TryConnect(pty.SlavePath().c_str(), 9600, kTimeout, 1));
    // The old connection holds the port; a second connect releases it first.
    ASSERT_TRUE(TryConnect(pty.SlavePath().c_str(), 19200, kTimeout, 1));
    ASSERT_NE(g_pSerialCom, nullptr);
    EXPECT_EQ(g_pSerialCom->BaudRate(), 19200u);
}

TEST(ConnectionNoPortTest, AMissingPortFailsAndPublishesNothing) {
    EXPECT_FALSE(TryConnect("/dev/tarvik-no-such-port", 115200, 30, 1));
    EXPECT_EQ(g_pSerialCom, nullptr);
    EXPECT_EQ(g_pObjectAccess, nullptr);
    EXPECT_EQ(od::kBaudRates[0], 9600u);
    EXPECT_EQ(od::kBaudRates[7], 921600u);
}

}  // namespace
