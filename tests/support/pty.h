#pragma once
// A pseudo-terminal whose master side the test holds; the code under test
// opens the slave path like any serial port.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

class CPty {
public:
    CPty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        const char* name = ptsname(m_master);
        if (name) m_slave = name;
    }
    ~CPty() { CloseMaster(); }
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;

    bool Ok() const { return m_master >= 0 && !m_slave.empty(); }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slave; }
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

    // The slave's line settings, read through the master.
    bool SlaveTermios(termios2* tio) const { return ::ioctl(m_master, TCGETS2, tio) == 0; }

    void Send(const void* data, size_t n) const {
        const auto* p = static_cast<const char*>(data);
        while (n > 0) {
            const ssize_t r = ::write(m_master, p, n);
            if (r <= 0) return;
            p += r;
            n -= static_cast<size_t>(r);
        }
    }

    // Reads what the slave sent within timeoutMs; stops early once `want` bytes are in.
    std::string Receive(size_t want, int timeoutMs) const {
        std::string got;
        char buf[512];
        for (int waited = 0; got.size() < want && waited < timeoutMs; waited += 10) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
                const ssize_t r = ::read(m_master, buf, sizeof buf);
                if (r > 0) got.append(buf, static_cast<size_t>(r));
            }
        }
        return got;
    }

private:
    int m_master = -1;
    std::string m_slave;
};
