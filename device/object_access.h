#pragma once
// CObjectAccess: the one channel to the module's numbered objects. Each call
// is one complete exchange (drain, request, reply, validation, conversion) and
// answers true or false; nothing throws, nothing is shown or logged.
#include "device/comm_port.h"
#include "device/frame.h"  // the type codes OBJ_INT8 .. OBJ_FLOAT32
#include "device/tick.h"

#include <cstdint>
#include <mutex>
#include <vector>

// Why a call failed. NotConnected is a call without a port (and, for callers
// such as the tool and the window, a call without an object access at all);
// a port that is there but closed shows as PortError, since its write fails.
enum class AccessFailure : uint8_t {
    None,
    NotConnected,
    Waiting,          // within the 1000 ms back-off after a port error or no reply
    PortError,        // the write failed, or the port failed while receiving
    NoReply,          // not one byte before the deadline
    IncompleteReply,  // a reply that stopped short of its length
    MalformedReply,   // STX, LEN, length, ETX or the operation wrong
    BadChecksum,
    OtherRequest,     // a valid reply, but to another operation, object or sub-index
    UnknownType,      // the caller's type code (or a missing variable)
};

// The reason in lower-case words, as the tool and the window show it
// ("no reply", "bad checksum", ...); "" for None.
const char* FailureText(AccessFailure failure);
class CObjectAccess;
// The words for the last failure of `access`; "not connected" without one.
const char* FailureText(const CObjectAccess* access);

// One exchange as an observer sees it (a session recording, a UDP feed).
// Nothing in it points at the port or the frames.
struct ExchangeReport {
    bool isSet = false;
    uint8_t type = 0;        // the caller's type code
    uint16_t index = 0;
    uint8_t subIndex = 0;    // 0 for a set
    AccessFailure failure = AccessFailure::None;  // None: the exchange succeeded
    // A successful get: the values stored for the caller, in its type.
    const double* values = nullptr;
    int32_t valueCount = 0;
    // A set: the value written, and on success the value the module echoed.
    double written = 0;
    double echo = 0;
};

// Told of each exchange (and, from CSyncReceiver, of the sync text that
// arrives). Called on the caller's thread inside the access object's lock:
// it must return at once (queue, never wait on a file or a socket).
class IExchangeObserver {
public:
    virtual ~IExchangeObserver() = default;
    virtual void OnExchange(const ExchangeReport& report) = 0;
    // The bytes of the sync data stream as they were received.
    virtual void OnSyncText(const char* bytes, int32_t length) {
        (void)bytes;
        (void)length;
    }
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

    // The reason of the last call that failed (None before any failure; a
    // success leaves it as it was).
    AccessFailure LastFailure() const { return m_lastFailure; }

    // Back-off marks: tick of the last port failure / of the last exchange that
    // received nothing; 0 means none. The status line only tests them for 0.
    uint32_t FaultTime() const { return m_faultTime; }
    uint32_t NoReplyTime() const { return m_noReplyTime; }
    int32_t TransactionTimeout() const { return m_transactionTimeout; }
    int32_t DeviceId() const { return m_deviceId; }
    CCommPort* Port() const { return m_port; }

    // Observers told of every exchange from now on (not owned). Both may be
    // called from any thread; once RemoveObserver has returned, the observer
    // is no longer called.
    void AddObserver(IExchangeObserver* observer);
    void RemoveObserver(IExchangeObserver* observer);

private:
    // One exchange; None on a valid reply of *replyLength bytes in `reply`.
    AccessFailure Exchange(const frame::Request& request, uint8_t* reply, int32_t* replyLength);
    bool Failed(AccessFailure failure) {
        m_lastFailure = failure;
        return false;
    }
    int32_t Receive(uint8_t* buffer);
    // Microseconds the rest of a frame begun in buffer still needs on the
    // line at its rate; 0 when the rate or the frame's length is unknown.
    uint32_t RestOnWireUs(const uint8_t* buffer, int32_t collected) const;
    uint32_t Now() const;
    void Report(const ExchangeReport& report);

    uint32_t m_faultTime = 0;
    uint32_t m_noReplyTime = 0;
    AccessFailure m_lastFailure = AccessFailure::None;
    int32_t m_transactionTimeout;
    CCommPort* m_port;
    int32_t m_deviceId;
    std::recursive_mutex m_lock;
    TickSource m_ticks;
    std::vector<IExchangeObserver*> m_observers;  // guarded by m_lock
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
