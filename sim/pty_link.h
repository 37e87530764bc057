#pragma once
// One serial port of the simulated module: a pseudo-terminal whose PC side is
// reached through a stable symbolic link. The simulator keeps the PC side open
// itself so that the PC closing and reopening the port is not a hang-up, and
// can "unplug" the port: the link vanishes, the pair is closed (the PC sees a
// hang-up), and later a new pair appears behind the same link.
//
// What the module sends goes through a transmit queue that Pump empties at the
// line rate (10 bits per byte), as a UART would: replies wait behind a sync
// line that is on the wire, and nothing blocks the simulator's loop.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace sim {

class PtyLink {
public:
    explicit PtyLink(std::string linkPath);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    bool Open();           // new pair and link; false on failure
    void Close();          // removes the link, closes the pair, empties the queue
    bool IsOpen() const { return m_master >= 0; }
    int Fd() const { return m_master; }
    const std::string& LinkPath() const { return m_link; }
    const std::string& SlavePath() const { return m_slavePath; }

    // The line speed the PC set on its side, in bit/s (0 when unknown).
    uint32_t LineSpeed() const;
    // Reads what the PC sent; -1 on error, 0 when nothing waits.
    int Read(uint8_t* buffer, int size);

    // Queues bytes to send not before `notBefore` (seconds, the caller's clock).
    // `sync` marks a sync data line: SyncPending tells whether one still waits.
    void Queue(const uint8_t* data, int size, double notBefore, bool sync);
    // Writes what is due at `now`: everything at baud 0, otherwise as much as
    // the line carries up to a quarter of a millisecond ahead. Bytes of sync lines that reached the
    // PC side are appended to *syncSent when given.
    void Pump(double now, uint32_t baud, std::string* syncSent = nullptr);
    bool SyncPending() const;
    // When Pump has more to write at `baud` (a time on the caller's clock; a
    // large value when the queue is empty).
    double NextDue(double now, uint32_t baud) const;
    bool Idle() const { return m_queue.empty(); }

private:
    struct Piece {
        std::vector<uint8_t> bytes;
        size_t done = 0;
        double notBefore = 0;
        bool sync = false;
    };
    std::string m_link;
    std::string m_slavePath;
    int m_master = -1;
    int m_slave = -1;
    std::deque<Piece> m_queue;
    double m_wireFreeAt = 0;  // when the last byte handed over is through the wire
};

}  // namespace sim
