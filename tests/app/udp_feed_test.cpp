// The UDP feed: each successful read arrives as one JSON datagram on a
// loopback socket; sets and failures send nothing.
#include "app/udp_feed.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// A UDP socket on 127.0.0.1 at a free port.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    int port = 0;
    Listener() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
            port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(fd); }
    // The next datagram within 1 s, or "" when none came.
    std::string Next() const {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) return "";
        char buf[2048];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
    }
};

TEST(UdpFeed, EachSuccessfulReadIsOneJsonDatagram) {
    Listener listener;
    ASSERT_GT(listener.port, 0);
    std::chrono::steady_clock::time_point now{};
    CUdpFeed feed([&] { return now; });
    std::string error;
    ASSERT_TRUE(feed.Open("127.0.0.1:" + std::to_string(listener.port), &error)) << error;

    now += std::chrono::milliseconds(1234);
    const double euler[3] = {1.2f, -0.5f, 179.9f};
    ExchangeReport get;
    get.type = OBJ_FLOAT32;
    get.index = 0x37;
    get.values = euler;
    get.valueCount = 3;
    feed.OnExchange(get);
    EXPECT_EQ(listener.Next(), R"({"t":1.234,"euler":{"roll":1.2,"pitch":-0.5,"yaw":179.9}})");

    ExchangeReport set;
    set.isSet = true;
    set.type = OBJ_INT32;
    set.index = 0x06;
    feed.OnExchange(set);
    ExchangeReport failed = get;
    failed.failure = AccessFailure::NoReply;
    failed.values = nullptr;
    failed.valueCount = 0;
    feed.OnExchange(failed);
    const double volts = 12.5f;
    ExchangeReport voltage;
    voltage.type = OBJ_FLOAT32;
    voltage.index = 0x30;
    voltage.values = &volts;
    voltage.valueCount = 1;
    feed.OnExchange(voltage);
    // The set and the failure sent nothing: the next datagram is the voltage.
    EXPECT_EQ(listener.Next(), R"({"t":1.234,"voltage":12.5})");
    EXPECT_EQ(feed.Sent(), 2u);
}

TEST(UdpFeed, ABadAddressIsRefused) {
    CUdpFeed feed;
    std::string error;
    EXPECT_FALSE(feed.Open("localhost", &error));
    EXPECT_FALSE(feed.Open("127.0.0.1:99999", &error));
    EXPECT_FALSE(feed.IsOpen());
}

}  // namespace
