#pragma once
// Byte-level serial port interface. Everything that talks to the module goes
// through it: the object-access protocol, the connect preamble, the sync data
// reader and the calibration text command. Synchronous and polled: nothing here
// runs a thread or waits on events. Results: bool, or a count with -1 for error.
#include <cstdint>

class CCommPort {
public:
    virtual bool Open() = 0;
    virtual bool Close() = 0;
    virtual bool EnsureOpen() = 0;
    virtual int32_t Write(const void* buffer, int32_t length) = 0;
    virtual int32_t Read(void* buffer, int32_t length) = 0;
    virtual void Purge() = 0;
    virtual bool IsOpen() const = 0;
    virtual int32_t GetInQueue() = 0;
    virtual ~CCommPort() = default;
    virtual bool IsReady() { return true; }
    virtual int32_t GetOutQueue() = 0;

    // Waits at most timeoutMs for received bytes. Returns the number of bytes
    // waiting (> 0) as soon as there are any, 0 when the time ran out with none,
    // -1 on a port error (closed port, hang-up). The receive loop of the
    // protocol uses this instead of sleeping 1 ms between queue polls.
    virtual int32_t WaitForInput(int32_t timeoutMs) = 0;

    // The line's rate in bit/s, 0 when the port has none (the receive loop
    // then waits for bytes one arrival at a time).
    virtual uint32_t LineRate() const { return 0; }
};
