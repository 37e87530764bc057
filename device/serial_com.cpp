// CSerialCOM over the Linux tty layer. The line settings go through the
// termios2 ioctls of <asm/termbits.h> (TCGETS2/TCSETS2 with BOTHER), which
// take any baud rate, standard or not. <termios.h> is deliberately not
// included here: its struct termios clashes with the kernel one.
#include "device/serial_com.h"

#include <asm/termbits.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace {

int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// poll() on one descriptor, restarted after signals; returns revents, 0 on
// time-out, -1 on error. timeoutMs < 0 waits without limit.
int PollOne(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r > 0) return p.revents;
        if (r == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

// Bytes waiting in the receive queue, -1 when the query fails.
int InputBytes(int fd) {
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0) return -1;
    return count;
}

// Raw 8N1, no flow control, receiver on, modem lines ignored, any baud rate.
bool ConfigureLine(int fd, uint32_t baudRate) {
    termios2 tio{};
    if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                          IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    tio.c_iflag |= IGNPAR;  // no parity checking, no error-character replacement
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baudRate;
    tio.c_ospeed = baudRate;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    // No special characters (XON/XOFF are unused with IXON/IXOFF off).
    tio.c_cc[VINTR] = tio.c_cc[VQUIT] = tio.c_cc[VSUSP] = 0;
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace

CSerialCOM::CSerialCOM(const char* portName, uint32_t baudRate)
    : m_portName(portName ? portName : ""), m_baudRate(baudRate) {}

CSerialCOM::~CSerialCOM() { Close(); }

bool CSerialCOM::Open() {
    if (m_handle >= 0) Close();

    if (m_portName.size() > static_cast<size_t>(kMaxPortName)) {
        m_lastError = ENAMETOOLONG;
        return false;
    }
    const int fd = ::open(m_portName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A tty held exclusively by another opener answers EBUSY.
        m_lastError = errno;
        return false;
    }
    if (!isatty(fd)) {
        m_lastError = ENOTTY;
        ::close(fd);
        return false;
    }
    // Unshared: the advisory lock keeps out every other CSerialCOM, privileged
    // or not; TIOCEXCL keeps out other unprivileged openers and is cleared
    // again by Close.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_lastError = EBUSY;
        ::close(fd);
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        m_lastError = errno;
        ::close(fd);
        return false;
    }
    // The driver's queues are fixed on Linux; nothing to reserve.
    ::ioctl(fd, TCFLSH, TCIOFLUSH);
    if (!ConfigureLine(fd, m_baudRate)) {
        m_lastError = errno ? errno : EINVAL;
        (void)::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    // DTR and RTS on; a pseudo-terminal has no modem lines, so failure is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIS, &lines);
    // Ask the driver to hand over received bytes at once (ignored when unsupported).
    serial_struct ss{};
    if (::ioctl(fd, TIOCGSERIAL, &ss) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        (void)::ioctl(fd, TIOCSSERIAL, &ss);
    }
    m_handle = fd;
    m_lastError = 0;
    m_readInterval = 1;
    m_readTotalMultiplier = 0;
    m_readTotalConstant = m_timeout;
    m_writeTotalMultiplier = 0;
    m_writeTotalConstant = m_timeout;
    return true;
}

bool CSerialCOM::Close() {
    if (m_handle < 0) return false;
    // The exclusive flag belongs to the tty, not to this descriptor: left
    // set, it would lock every later unprivileged open (a reopen after a
    // fault, the next rate of auto-detection, the next Connect) out with EBUSY.
    (void)::ioctl(m_handle, TIOCNXCL);
    ::close(m_handle);  // also drops the advisory lock
    m_handle = -1;
    return true;
}

bool CSerialCOM::EnsureOpen() {
    if (m_handle < 0) Open();
    return m_handle >= 0;
}

bool CSerialCOM::IsOpen() const { return m_handle >= 0; }

bool CSerialCOM::SetTimeouts(uint32_t readInterval, uint32_t readTotalMultiplier, uint32_t readTotalConstant,
                             uint32_t writeTotalMultiplier, uint32_t writeTotalConstant) {
    if (m_handle < 0) return false;
    m_readInterval = readInterval;
    m_readTotalMultiplier = readTotalMultiplier;
    m_readTotalConstant = readTotalConstant;
    m_writeTotalMultiplier = writeTotalMultiplier;
    m_writeTotalConstant = writeTotalConstant;
    return true;
}

int32_t CSerialCOM::Write(const void* buffer, int32_t length) {
    if (m_handle < 0) return -1;
    if (length <= 0) return 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    const uint64_t total = static_cast<uint64_t>(m_writeTotalMultiplier) * static_cast<uint32_t>(length) +
                           m_writeTotalConstant;
    const int64_t deadline = NowMs() + static_cast<int64_t>(total);
    int32_t written = 0;
    while (written < length) {
        const ssize_t r = ::write(m_handle, p + written, static_cast<size_t>(length - written));
        if (r > 0) {
            written += static_cast<int32_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) {
            Close();
            return -1;
        }
        // Transmit queue full: wait for room until the write total runs out
        // (a total of 0 means no limit). What went out so far is the result.
        int wait = -1;
        if (total > 0) {
            const int64_t left = deadline - NowMs();
            if (left <= 0) break;
            wait = static_cast<int>(std::min<int64_t>(left, 1000));
        }
        const int ev = PollOne(m_handle, POLLOUT, wait);
        if (ev < 0 || (ev & (POLLERR | POLLHUP | POLLNVAL))) {
            Close();
            return -1;
        }
    }
    return written;
}

int32_t CSerialCOM::Read(void* buffer, int32_t length) {
    if (m_handle < 0) return -1;
    if (length <= 0) return 0;
    auto* p = static_cast<uint8_t*>(buffer);
    // Interval of all ones with no totals: return at once with what is there.
    const bool immediate = m_readInterval == 0xFFFFFFFFu && m_readTotalMultiplier == 0 && m_readTotalConstant == 0;
    const uint64_t total = static_cast<uint64_t>(m_readTotalMultiplier) * static_cast<uint32_t>(length) +
                           m_readTotalConstant;
    const int64_t start = NowMs();
    const int64_t deadline = start + static_cast<int64_t>(total);
    int64_t lastByte = start;
    int32_t got = 0;
    while (got < length) {
        const ssize_t r = ::read(m_handle, p + got, static_cast<size_t>(length - got));
        if (r > 0) {
            got += static_cast<int32_t>(r);
            lastByte = NowMs();
            continue;
        }
        // With VMIN = VTIME = 0 an empty tty reads as 0 rather than EAGAIN; a
        // hung-up line reads as 0 too, and poll() below tells the two apart.
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) {  // EIO: device unplugged or pty master closed
            Close();
            return -1;
        }
        if (immediate) break;
        // Nothing waiting: wait for the next byte within the time-outs. A
        // total of 0 sets no overall limit; the interval only counts once
        // the first byte is in.
        const int64_t now = NowMs();
        int64_t wait = 1000;  // no limit: wait in steps
        if (total > 0) {
            wait = deadline - now;
            if (wait <= 0) break;
        }
        if (got > 0 && m_readInterval > 0 && m_readInterval != 0xFFFFFFFFu) {
            const int64_t intervalLeft = lastByte + m_readInterval - now;
            if (intervalLeft <= 0) break;
            wait = std::min(wait, intervalLeft);
        }
        const int ev = PollOne(m_handle, POLLIN, static_cast<int>(std::min<int64_t>(wait, 1000)));
        if (ev < 0 || ((ev & (POLLERR | POLLHUP | POLLNVAL)) && InputBytes(m_handle) <= 0)) {
            Close();
            return -1;
        }
    }
    return got;
}

void CSerialCOM::Purge() {
    if (m_handle < 0) return;
    // Line errors are not latched on Linux (parity and framing errors are
    // dropped with IGNPAR); discarding both queues is all there is to do.
    (void)::ioctl(m_handle, TCFLSH, TCIOFLUSH);
}

int32_t CSerialCOM::GetInQueue() {
    if (m_handle < 0) return -1;
    const int count = InputBytes(m_handle);
    if (count != 0) return count;
    // Nothing waiting: a peer that hung up must show as an error, otherwise
    // a polling caller would wait for bytes that never come.
    const int ev = PollOne(m_handle, POLLIN, 0);
    if (ev < 0 || (ev & (POLLERR | POLLHUP | POLLNVAL))) return -1;
    return 0;
}

int32_t CSerialCOM::GetOutQueue() {
    if (m_handle < 0) return -1;
    int count = 0;
    if (::ioctl(m_handle, TIOCOUTQ, &count) != 0) return -1;
    return count;
}

int32_t CSerialCOM::WaitForInput(int32_t timeoutMs) {
    const int32_t waiting = GetInQueue();
    if (waiting != 0) return waiting;
    const int ev = PollOne(m_handle, POLLIN, std::max<int32_t>(timeoutMs, 0));
    if (ev == 0) return 0;
    if (ev < 0) return -1;
    const int count = InputBytes(m_handle);
    if (count != 0) return count;
    return (ev & (POLLERR | POLLHUP | POLLNVAL)) ? -1 : 0;
}

std::string DescribeOpenError(int error, const std::string& portName) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "no such port " + portName;
    case EACCES:
    case EPERM: {
        std::string text = "permission denied on " + portName +
                           ": the user must be in the group owning the device";
        struct stat st {};
        if (::stat(portName.c_str(), &st) == 0) {
            const group* g = ::getgrgid(st.st_gid);
            if (g && g->gr_name) text += std::string(" (here ") + g->gr_name + ")";
        }
        return text + ", usually dialout";
    }
    case EBUSY:
    case EWOULDBLOCK:
        return portName + " is in use by another program";
    case ENAMETOOLONG:
        return "port path longer than " + std::to_string(CSerialCOM::kMaxPortName) + " characters";
    case ENOTTY:
        return portName + " is not a serial port";
    default:
        return "cannot open " + portName + ": " + std::strerror(error);
    }
}
