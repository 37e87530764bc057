#pragma once
// One serial port of the simulated module: a pseudo-terminal whose PC side is
// reached through a stable symbolic link. The simulator keeps the PC side open
// itself so that the PC closing and reopening the port is not a hang-up, and
// can "unplug" the port: the link vanishes, the pair is closed (the PC sees a
// hang-up), and later a new pair appears behind the same link.
#include <cstdint>
#include <string>

namespace sim {

class PtyLink {
public:
    explicit PtyLink(std::string linkPath);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    bool Open();           // new pair and link; false on failure
    void Close();          // removes the link, closes the pair
    bool IsOpen() const { return m_master >= 0; }
    int Fd() const { return m_master; }
    const std::string& LinkPath() const { return m_link; }
    const std::string& SlavePath() const { return m_slavePath; }

    // The line speed the PC set on its side, in bit/s (0 when unknown).
    uint32_t LineSpeed() const;
    // Reads what the PC sent; -1 on error, 0 when nothing waits.
    int Read(uint8_t* buffer, int size);
    // Writes all bytes; paced at `baud` (10 bits per byte) when baud > 0,
    // in pieces of `chunk` bytes (0: no split) with a short pause between.
    bool Write(const uint8_t* data, int size, uint32_t baud, int chunk = 0);

private:
    std::string m_link;
    std::string m_slavePath;
    int m_master = -1;
    int m_slave = -1;
};

}  // namespace sim
