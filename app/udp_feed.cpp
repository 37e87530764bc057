#include "app/udp_feed.h"

#include "app/session_file.h"
#include "device/object_dictionary.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>

CUdpFeed::CUdpFeed(Clock clock) : m_clock(std::move(clock)) {}

CUdpFeed::~CUdpFeed() { Close(); }

bool CUdpFeed::Open(const std::string& hostPort, std::string* error) {
    Close();
    const size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
        *error = "bad --udp " + hostPort + " (HOST:PORT)";
        return false;
    }
    std::string host = hostPort.substr(0, colon);
    const std::string port = hostPort.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (port.find_first_not_of("0123456789") != std::string::npos || std::stol(port) < 1 || std::stol(port) > 65535) {
        *error = "bad port in --udp " + hostPort;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0 || found == nullptr) {
        *error = "unknown host " + host + ": " + gai_strerror(rc);
        return false;
    }
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) continue;
        // A connected datagram socket: send() then needs no address, and
        // nothing is ever waited for.
        if (::connect(s, a->ai_addr, a->ai_addrlen) == 0) {
            m_socket = s;
            break;
        }
        ::close(s);
    }
    freeaddrinfo(found);
    if (m_socket < 0) {
        *error = "cannot send to " + hostPort;
        return false;
    }
    m_start = m_clock();
    return true;
}

void CUdpFeed::Close() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

void CUdpFeed::OnExchange(const ExchangeReport& report) {
    if (m_socket < 0 || report.isSet || report.failure != AccessFailure::None || report.valueCount <= 0) return;
    const double t = std::chrono::duration<double>(m_clock() - m_start).count();
    const std::string datagram =
        UdpDatagram(t, report.index, report.subIndex, report.type, report.values, report.valueCount);
    // Refused (nobody listens), full buffers, anything: the datagram is lost.
    if (::send(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(datagram.size()))
        ++m_sent;
    else
        ++m_dropped;
}
