#pragma once
// CObjectAccess: the one channel to the module's numbered objects. Each call
// is one complete exchange (drain, request, reply, validation, conversion) and
// answers true or false; nothing throws, nothing is shown or logged.
#include "device/comm_port.h"
#include "device/tick.h"

#include <cstdint>
#include <mutex>

// Object type codes: the low nibble of the command byte and the width and kind
// of the caller's variable.
enum : uint8_t {
    OBJ_INT8 = 0,
    OBJ_INT16 = 4,
    OBJ_INT32 = 8,
    OBJ_FLOAT32 = 12,
};

class CObjectAccess {
public:
    // The port is not owned. The tick source defaults to GetTickCountMs.
    CObjectAccess(CCommPort* port, int32_t transactionTimeoutMs, int32_t deviceId,
                  TickSource ticks = {});
    ~CObjectAccess();

    CObjectAccess(const CObjectAccess&) = delete;
    CObjectAccess& operator=(const CObjectAccess&) = delete;

    // Writes element 0 of object `index`. `value` points to a 1, 2 or 4 byte
    // variable as `type` says; on success it is overwritten with the value the
    // module echoed, on failure it is untouched.
    bool SetObjectXXX(uint8_t type, uint32_t index, void* value);

    // Reads up to `count` elements from `subIndex` on into `out`, an array of
    // `count` 4-byte slots. int8/int16 are stored sign-extended to 32 bits,
    // float32 as float. Writes min(count, N) slots on success, none on failure.
    bool GetObjectXXX(uint8_t type, uint32_t index, uint8_t subIndex, void* out, int32_t count);

    // Back-off marks: tick of the last port failure / of the last exchange that
    // received nothing; 0 means none. The status line only tests them for 0.
    uint32_t FaultTime() const { return m_faultTime; }
    uint32_t NoReplyTime() const { return m_noReplyTime; }
    int32_t TransactionTimeout() const { return m_transactionTimeout; }
    int32_t DeviceId() const { return m_deviceId; }
    CCommPort* Port() const { return m_port; }

private:
    enum class Op { Set, Get };
    bool Exchange(Op op, uint8_t type, uint32_t index, uint8_t subIndex, const uint8_t request[13],
                  uint8_t* reply, int32_t* replyLength);
    int32_t Receive(uint8_t* buffer);
    uint32_t Now() const;

    uint32_t m_faultTime = 0;
    uint32_t m_noReplyTime = 0;
    int32_t m_transactionTimeout;
    CCommPort* m_port;
    int32_t m_deviceId;
    std::recursive_mutex m_lock;
    TickSource m_ticks;
};

// Per-operation call statistics, kept for the whole process. Nothing displays
// them; they are finalised (total turned into a mean, scaled to ms or s) at exit.
struct CallStatistics {
    char file[257] = {};
    char function[257] = {};
    int line = 0;
    uint32_t calls = 0;
    double totalUs = 0;   // after Finalise: the mean, in the unit below
    double longestUs = 0; // after Finalise: in the unit below
    int unitScale = 0;    // 0 = microseconds, 1 = milliseconds, 2 = seconds
    bool finalised = false;
    void Add(double us);
    void Finalise();
};
CallStatistics& SetObjectStatistics();
CallStatistics& GetObjectStatistics();
// Called once at process exit, before the settings are saved.
void FinaliseObjectAccessStatistics();
