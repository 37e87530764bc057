#include "sim/pty_link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sim {

PtyLink::PtyLink(std::string linkPath) : m_link(std::move(linkPath)) {}

PtyLink::~PtyLink() { Close(); }

bool PtyLink::Open() {
    Close();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) return false;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        Close();
        return false;
    }
    const char* name = ::ptsname(m_master);
    if (name == nullptr) {
        Close();
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slave < 0) {
        Close();
        return false;
    }
    // Raw until the PC sets its own mode: no echo of the wake-up text, no
    // line editing of binary frames.
    termios t{};
    if (::tcgetattr(m_slave, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&t, B9600);
        ::cfsetospeed(&t, B9600);
        ::tcsetattr(m_slave, TCSANOW, &t);
    }
    // Replace the link atomically, also a stale one of an earlier run.
    const std::string temp = m_link + ".new";
    ::unlink(temp.c_str());
    if (::symlink(name, temp.c_str()) != 0 || ::rename(temp.c_str(), m_link.c_str()) != 0) {
        ::unlink(temp.c_str());
        Close();
        return false;
    }
    return true;
}

void PtyLink::Close() {
    if (m_master >= 0 || m_slave >= 0) ::unlink(m_link.c_str());
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}

uint32_t LineSpeedOf(int fd);  // line_speed.cpp

uint32_t PtyLink::LineSpeed() const {
    // On Linux the master answers with the settings of the pair's PC side.
    return m_master < 0 ? 0 : LineSpeedOf(m_master);
}

int PtyLink::Read(uint8_t* buffer, int size) {
    if (m_master < 0) return -1;
    const ssize_t n = ::read(m_master, buffer, static_cast<size_t>(size));
    if (n < 0) return (errno == EAGAIN || errno == EINTR || errno == EIO) ? 0 : -1;
    return static_cast<int>(n);
}

bool PtyLink::Write(const uint8_t* data, int size, uint32_t baud, int chunk) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    int sent = 0;
    const int piece = chunk > 0 ? chunk : size;
    while (sent < size && m_master >= 0) {
        const int n = std::min(piece, size - sent);
        int done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_master, data + sent + done, static_cast<size_t>(n - done));
            if (w > 0) {
                done += static_cast<int>(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 100) <= 0) return false;  // the PC does not read: give up on this unit
        }
        sent += n;
        if (baud > 0) {
            // Line pacing: the bytes so far take 10 bits each at the rate.
            const auto due = start + microseconds(static_cast<int64_t>(sent) * 10'000'000 / baud);
            std::this_thread::sleep_until(due);
        }
        if (chunk > 0 && sent < size) std::this_thread::sleep_for(milliseconds(1));
    }
    return sent == size;
}

}  // namespace sim
