#include "device/object_access.h"

#include "device/frame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kBackOffMs = 1000;

bool IsKnownType(uint8_t type) {
    return type == OBJ_INT8 || type == OBJ_INT16 || type == OBJ_INT32 || type == OBJ_FLOAT32;
}

// One 4-byte reply element read by the reply's own type code.
double ElementValue(uint8_t replyType, const uint8_t* e) {
    switch (replyType) {
    case OBJ_INT8:
        return static_cast<int8_t>(e[0]);
    case OBJ_INT16:
        return static_cast<int16_t>(static_cast<uint16_t>(e[0] | (e[1] << 8)));
    case OBJ_INT32: {
        const uint32_t u = static_cast<uint32_t>(e[0]) | (static_cast<uint32_t>(e[1]) << 8) |
                           (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[3]) << 24);
        return static_cast<int32_t>(u);
    }
    case OBJ_FLOAT32: {
        const uint32_t u = static_cast<uint32_t>(e[0]) | (static_cast<uint32_t>(e[1]) << 8) |
                           (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[3]) << 24);
        float f;
        std::memcpy(&f, &u, sizeof f);
        return f;
    }
    default:
        return 0.0;
    }
}

// Truncation toward zero into 64 bits; NaN gives 0 and values beyond the
// 64-bit range stop at its ends, so no conversion is undefined. The caller
// then keeps the low 8, 16 or 32 bits.
int64_t TruncateToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775807.0) return INT64_MAX;
    if (v <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(v);  // truncates toward zero
}

// The value as the caller's type, little-endian in a 4-byte slot image.
// int8 and int16 are sign-extended to 32 bits (the get slot layout).
int32_t ToInteger(uint8_t type, double v) {
    const uint64_t bits = static_cast<uint64_t>(TruncateToInt64(v));
    switch (type) {
    case OBJ_INT8:
        return static_cast<int8_t>(static_cast<uint8_t>(bits & 0xFF));
    case OBJ_INT16:
        return static_cast<int16_t>(static_cast<uint16_t>(bits & 0xFFFF));
    default:
        return static_cast<int32_t>(static_cast<uint32_t>(bits & 0xFFFFFFFFu));
    }
}

float ToFloat(double v) {
    // Every reply value comes from an int32 or a float, so it is in range.
    return static_cast<float>(v);
}

// Records the call's duration in its statistics record when the call leaves,
// after the lock guard declared behind it has been released.
class StatisticsScope {
public:
    explicit StatisticsScope(CallStatistics& record)
        : m_record(record), m_start(std::chrono::steady_clock::now()) {}
    ~StatisticsScope() {
        const auto elapsed = std::chrono::steady_clock::now() - m_start;
        m_record.Add(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    StatisticsScope(const StatisticsScope&) = delete;
    StatisticsScope& operator=(const StatisticsScope&) = delete;

private:
    CallStatistics& m_record;
    std::chrono::steady_clock::time_point m_start;
};

CallStatistics MakeRecord(const char* function, int line) {
    CallStatistics s;
    std::strncpy(s.file, __FILE__, sizeof s.file - 1);
    std::strncpy(s.function, function, sizeof s.function - 1);
    s.line = line;
    return s;
}

}  // namespace

void CallStatistics::Add(double us) {
    longestUs = std::max(longestUs, us);
    ++calls;
    totalUs += us;
}

void CallStatistics::Finalise() {
    if (finalised) return;
    finalised = true;
    totalUs = calls ? totalUs / calls : 0.0;
    while (totalUs > 1000.0 && unitScale < 2) {
        totalUs /= 1000.0;
        longestUs /= 1000.0;
        ++unitScale;
    }
}

CallStatistics& SetObjectStatistics() {
    static CallStatistics record = MakeRecord("CObjectAccess::SetObjectXXX", __LINE__);
    return record;
}

CallStatistics& GetObjectStatistics() {
    static CallStatistics record = MakeRecord("CObjectAccess::GetObjectXXX", __LINE__);
    return record;
}

void FinaliseObjectAccessStatistics() {
    SetObjectStatistics().Finalise();
    GetObjectStatistics().Finalise();
}

CObjectAccess::CObjectAccess(CCommPort* port, int32_t transactionTimeoutMs, int32_t deviceId, TickSource ticks)
    : m_transactionTimeout(transactionTimeoutMs),
      m_port(port),
      m_deviceId(deviceId),
      m_ticks(ticks ? std::move(ticks) : TickSource(GetTickCountMs)) {}

CObjectAccess::~CObjectAccess() = default;

uint32_t CObjectAccess::Now() const { return m_ticks(); }

namespace {
// A mark of 0 means "none", so a fault at tick 0 is kept as tick 1.
uint32_t Mark(uint32_t now) { return now ? now : 1u; }
}  // namespace

bool CObjectAccess::SetObjectXXX(uint8_t type, uint32_t index, void* value) {
    StatisticsScope statistics(SetObjectStatistics());
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    // An unknown type code says nothing about the width of the caller's
    // variable: refuse it rather than read or write past it.
    if (!IsKnownType(type) || value == nullptr) return false;

    uint8_t data[4] = {};
    switch (type) {
    case OBJ_INT8:
        std::memcpy(data, value, 1);
        break;
    case OBJ_INT16: {
        int16_t v;
        std::memcpy(&v, value, 2);
        data[0] = static_cast<uint8_t>(v & 0xFF);
        data[1] = static_cast<uint8_t>((static_cast<uint16_t>(v) >> 8) & 0xFF);
        break;
    }
    default: {
        uint32_t v;
        std::memcpy(&v, value, 4);
        for (int i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(v >> (8 * i));
        break;
    }
    }
    uint8_t request[frame::kRequestLength];
    frame::Build(request, static_cast<uint8_t>(m_deviceId), static_cast<uint8_t>(type | frame::OP_SET_REQUEST),
                 static_cast<uint16_t>(index), 0, data, 1);

    uint8_t reply[256];
    int32_t n = 0;
    if (!Exchange(Op::Set, type, index, 0, request, reply, &n)) return false;

    const double v = ElementValue(reply[3] & 0x0F, reply + 7);
    switch (type) {
    case OBJ_INT8: {
        const int8_t r = static_cast<int8_t>(ToInteger(type, v));
        std::memcpy(value, &r, 1);
        break;
    }
    case OBJ_INT16: {
        const int16_t r = static_cast<int16_t>(ToInteger(type, v));
        std::memcpy(value, &r, 2);
        break;
    }
    case OBJ_INT32: {
        const int32_t r = ToInteger(type, v);
        std::memcpy(value, &r, 4);
        break;
    }
    default: {
        const float r = ToFloat(v);
        std::memcpy(value, &r, 4);
        break;
    }
    }
    return true;
}

bool CObjectAccess::GetObjectXXX(uint8_t type, uint32_t index, uint8_t subIndex, void* out, int32_t count) {
    StatisticsScope statistics(GetObjectStatistics());
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!IsKnownType(type) || (out == nullptr && count > 0)) return false;

    const uint8_t data[4] = {static_cast<uint8_t>(count & 0xFF), 0, 0, 0};
    uint8_t request[frame::kRequestLength];
    frame::Build(request, static_cast<uint8_t>(m_deviceId), static_cast<uint8_t>(type | frame::OP_GET_REQUEST),
                 static_cast<uint16_t>(index), subIndex, data, 1);

    uint8_t reply[256];
    int32_t n = 0;
    if (!Exchange(Op::Get, type, index, subIndex, request, reply, &n)) return false;

    const int32_t elements = (n - 9) / 4;
    const int32_t store = std::min(std::max(count, 0), elements);
    const uint8_t replyType = reply[3] & 0x0F;
    auto* slots = static_cast<uint8_t*>(out);
    for (int32_t i = 0; i < store; ++i) {
        const double v = ElementValue(replyType, reply + 7 + 4 * i);
        if (type == OBJ_FLOAT32) {
            const float f = ToFloat(v);
            std::memcpy(slots + 4 * i, &f, 4);
        } else {
            const int32_t r = ToInteger(type, v);
            std::memcpy(slots + 4 * i, &r, 4);
        }
    }
    return true;
}

bool CObjectAccess::Exchange(Op op, uint8_t /*type*/, uint32_t index, uint8_t subIndex,
                             const uint8_t request[13], uint8_t* reply, int32_t* replyLength) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_port == nullptr) return false;

    // Back-off after a port fault or a silent module (unsigned differences, so
    // a wrap of the tick count does not matter).
    const uint32_t t = Now();
    if (m_faultTime != 0) {
        if (t - m_faultTime <= kBackOffMs) return false;
        m_faultTime = 0;
        m_port->Open();
    }
    if (m_noReplyTime != 0) {
        if (t - m_noReplyTime <= kBackOffMs) return false;
        m_noReplyTime = 0;
    }

    // Drain what is waiting now (stale sync lines, late replies).
    uint8_t drain[256];
    int32_t stale = m_port->GetInQueue();
    while (stale > 0) {
        const int32_t r = m_port->Read(drain, std::min<int32_t>(stale, sizeof drain));
        if (r <= 0) break;
        stale -= r;
    }

    if (m_port->Write(request, frame::kRequestLength) < 0) {
        m_faultTime = Mark(Now());
        if (op == Op::Set) m_port->Open();
        return false;
    }

    const int32_t n = Receive(reply);
    if (n < 0) {
        m_faultTime = Mark(Now());
        return false;
    }
    if (n == 0) {
        m_noReplyTime = Mark(Now());
        return false;
    }

    // Validation: every test must pass.
    const uint8_t expected = op == Op::Set ? frame::OP_SET_REPLY : frame::OP_GET_REPLY;
    if (n < 13 || (n - 13) % 4 != 0) return false;
    if (reply[0] != frame::STX) return false;
    if (reply[1] != n - 4) return false;
    if ((reply[3] & 0xF0) != expected) return false;
    if ((reply[4] | (reply[5] << 8)) != static_cast<int>(index & 0xFFFF)) return false;
    if (reply[6] != subIndex) return false;
    if (reply[n - 2] != frame::Checksum(reply + 2, static_cast<size_t>(n - 4))) return false;
    if (reply[n - 1] != frame::ETX) return false;

    m_faultTime = 0;
    m_noReplyTime = 0;
    *replyLength = n;
    return true;
}

int32_t CObjectAccess::Receive(uint8_t* buffer) {
    int32_t budget = frame::kReceiveBudget;
    int32_t collected = 0;
    const uint32_t deadline = Now() + static_cast<uint32_t>(std::max<int32_t>(m_transactionTimeout, 0));
    while (budget > 0) {
        const int32_t waiting = m_port->GetInQueue();
        if (waiting < 0) return -1;
        int32_t r = 0;
        if (waiting > 0) {
            r = m_port->Read(buffer + collected, std::min(waiting, budget));
            if (r < 0) return -1;
        }
        if (r == 0) {
            // Deadline reached (signed difference: wrap-safe)?
            if (static_cast<int32_t>(Now() - deadline) >= 0) return collected;
            // Wait at most 1 ms, returning as soon as bytes arrive.
            if (m_port->WaitForInput(1) < 0) return -1;
            continue;
        }
        int32_t kept = r;
        if (collected == 0 && buffer[0] != frame::STX) {
            // Hunt for the start of the frame among the new bytes.
            const uint8_t* stx = static_cast<const uint8_t*>(std::memchr(buffer, frame::STX, static_cast<size_t>(r)));
            if (stx == nullptr) {
                // All noise: dropped without costing budget. A line that
                // never stops delivering noise must not hold the caller past
                // the deadline, so the deadline is looked at here as well.
                if (static_cast<int32_t>(Now() - deadline) >= 0) return collected;
                continue;
            }
            const int32_t i = static_cast<int32_t>(stx - buffer);
            std::memmove(buffer, buffer + i, static_cast<size_t>(r - i));
            kept = r - i;
        }
        collected += kept;
        budget -= kept;
        // The frame ends where its length byte says. Bytes read past that end
        // (a sync line the module sent right after the reply) are not part
        // of it: the frame is complete and the validation judges it alone.
        if (collected > 4 && collected >= buffer[1] + 4) return buffer[1] + 4;
    }
    return collected;
}
