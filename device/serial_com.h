#pragma once
// CSerialCOM: the POSIX termios implementation of CCommPort.
#include "device/comm_port.h"

#include <cstdint>
#include <string>
#include <vector>

class CSerialCOM : public CCommPort {
public:
    // Longest port path accepted: the settings text field holds 259
    // characters. Device paths such as /dev/serial/by-id/... keep their full
    // length; a longer name is kept as given but refused by Open.
    static constexpr int kMaxPortName = 259;

    // The port starts closed.
    CSerialCOM(const char* portName, uint32_t baudRate);
    ~CSerialCOM() override;

    CSerialCOM(const CSerialCOM&) = delete;
    CSerialCOM& operator=(const CSerialCOM&) = delete;

    bool Open() override;
    bool Close() override;
    bool EnsureOpen() override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t Read(void* buffer, int32_t length) override;
    void Purge() override;
    bool IsOpen() const override;
    int32_t GetInQueue() override;
    int32_t GetOutQueue() override;
    int32_t WaitForInput(int32_t timeoutMs) override;

    // Read and write time-outs in milliseconds, as the Windows COMMTIMEOUTS
    // fields: interval between bytes (0 = none), total multiplier per byte and
    // total constant. Read emulates them with poll(); write waits for the bytes
    // to drain at most the write total. Returns false on a closed port.
    bool SetTimeouts(uint32_t readInterval, uint32_t readTotalMultiplier, uint32_t readTotalConstant,
                     uint32_t writeTotalMultiplier, uint32_t writeTotalConstant);

    const char* PortName() const { return m_portName.c_str(); }
    // Why the last Open failed, as an errno value (ENOENT, EACCES, EBUSY for
    // a port in use, ENAMETOOLONG, ENOTTY, ...); 0 after a successful Open.
    int LastError() const { return m_lastError; }
    uint32_t BaudRate() const { return m_baudRate; }
    uint32_t LineRate() const override { return m_baudRate; }
    int Handle() const { return m_handle; }

private:
    int m_handle = -1;                    // file descriptor; -1 while closed
    std::string m_portName;
    int m_lastError = 0;
    uint32_t m_baudRate = 0;
    uint8_t m_byteSize = 8;
    uint8_t m_stopBits = 0;               // Windows code: one stop bit
    uint8_t m_parity = 0;                 // Windows code: none
    uint8_t m_flowControl = 0;            // none
    uint32_t m_timeout = 100;             // read and write total at Open
    uint32_t m_readInterval = 1;
    uint32_t m_readTotalMultiplier = 0;
    uint32_t m_readTotalConstant = 100;
    uint32_t m_writeTotalMultiplier = 0;
    uint32_t m_writeTotalConstant = 100;
};

// One line telling why a port could not be opened, from CSerialCOM::LastError:
// no such port, permission denied (naming the group that owns the device),
// in use by another program, path too long, not a serial port.
std::string DescribeOpenError(int error, const std::string& portName);

// Serial ports present on the machine, as device paths (/dev/ttyUSB0, ...),
// followed by the stable names under /dev/serial/by-id. Opens nothing.
std::vector<std::string> EnumerateSerialPorts();
// The same, reading from another root (tests point this at a fake sysfs tree).
std::vector<std::string> EnumerateSerialPorts(const std::string& sysClassTty, const std::string& devDir);

// Sets the latency timer of every FTDI bridge to 1 ms through sysfs. Without
// the right to write, silently does nothing.
void SetFtdiLatency();
void SetFtdiLatency(const std::string& usbSerialDevices);
