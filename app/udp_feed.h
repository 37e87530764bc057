#pragma once
// The UDP feed for plotting tools (PlotJuggler's UDP JSON source, ...): each
// successful read becomes one datagram holding one JSON object with the time
// and the quantity named from the catalogue, its elements as keys:
//   {"t": 1.234, "euler": {"roll": 1.2, "pitch": -0.5, "yaw": 179.9}}
// (a one-element quantity as a plain number: {"t": 0.5, "voltage": 12.1}).
// The socket does not block: a datagram that cannot go now is dropped, so an
// unreachable host costs nothing but the datagrams. Attach it to the access
// object with AddObserver. No Qt.
#include "device/object_access.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class CUdpFeed : public IExchangeObserver {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit CUdpFeed(Clock clock = &std::chrono::steady_clock::now);
    ~CUdpFeed() override;
    CUdpFeed(const CUdpFeed&) = delete;
    CUdpFeed& operator=(const CUdpFeed&) = delete;

    // "HOST:PORT" (a name or an address; "[::1]:9870" for IPv6); t = 0 is
    // now. False with a message when the text is bad or the host unknown.
    bool Open(const std::string& hostPort, std::string* error);
    void Close();
    bool IsOpen() const { return m_socket >= 0; }

    uint64_t Sent() const { return m_sent.load(); }
    uint64_t Dropped() const { return m_dropped.load(); }

    void OnExchange(const ExchangeReport& report) override;

private:
    Clock m_clock;
    std::chrono::steady_clock::time_point m_start{};
    int m_socket = -1;
    std::atomic<uint64_t> m_sent{0}, m_dropped{0};
};
