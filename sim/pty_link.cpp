#include "sim/pty_link.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
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
    m_queue.clear();
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

void PtyLink::Queue(const uint8_t* data, int size, double notBefore, bool sync) {
    if (m_master < 0 || size <= 0) return;
    Piece p;
    p.bytes.assign(data, data + size);
    p.notBefore = notBefore;
    p.sync = sync;
    m_queue.push_back(std::move(p));
}

bool PtyLink::SyncPending() const {
    for (const Piece& p : m_queue)
        if (p.sync) return true;
    return false;
}

namespace {
constexpr double kLookAhead = 0.00025;
}

double PtyLink::NextDue(double now, uint32_t baud) const {
    if (m_queue.empty()) return now + 3600;
    const double head = m_queue.front().notBefore;
    if (baud == 0) return head;
    return std::max(head, m_wireFreeAt - kLookAhead + 10.0 / baud);
}

void PtyLink::Pump(double now, uint32_t baud, std::string* syncSent) {
    while (m_master >= 0 && !m_queue.empty()) {
        Piece& p = m_queue.front();
        if (now < p.notBefore) return;
        size_t n = p.bytes.size() - p.done;
        const double start = std::max(m_wireFreeAt, now);
        if (baud > 0) {
            const double byteTime = 10.0 / baud;
            const double room = (now + kLookAhead - start) / byteTime;
            if (room < 1) return;  // the wire is busy until then
            n = std::min(n, static_cast<size_t>(room));
        }
        const ssize_t w = ::write(m_master, p.bytes.data() + p.done, n);
        if (w <= 0) return;  // the PC side is full (or gone): try again later
        if (syncSent && p.sync) syncSent->append(reinterpret_cast<const char*>(p.bytes.data() + p.done), static_cast<size_t>(w));
        p.done += static_cast<size_t>(w);
        m_wireFreeAt = baud > 0 ? start + static_cast<double>(w) * 10.0 / baud : now;
        if (p.done == p.bytes.size()) m_queue.pop_front();
    }
}

}  // namespace sim
