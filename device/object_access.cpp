#include "device/object_access.h"

#include "device/frame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t kBackOffMs = 1000;

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

const char* FailureText(AccessFailure failure) {
    switch (failure) {
    case AccessFailure::None: return "";
    case AccessFailure::NotConnected: return "not connected";
    case AccessFailure::Waiting: return "waiting after a failure";
    case AccessFailure::PortError: return "port error";
    case AccessFailure::NoReply: return "no reply";
    case AccessFailure::IncompleteReply: return "incomplete reply";
    case AccessFailure::MalformedReply: return "malformed reply";
    case AccessFailure::BadChecksum: return "bad checksum";
    case AccessFailure::OtherRequest: return "reply to another request";
    case AccessFailure::UnknownType: return "unknown type";
    }
    return "";
}

const char* FailureText(const CObjectAccess* access) {
    return FailureText(access ? access->LastFailure() : AccessFailure::NotConnected);
}

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
    if (!frame::IsKnownType(type) || value == nullptr) return Failed(AccessFailure::UnknownType);

    frame::Request request{static_cast<uint8_t>(m_deviceId), frame::OP_SET_REQUEST, type,
                           static_cast<uint16_t>(index), 0, {}};
    frame::WriteElement(type, value, request.element);

    uint8_t reply[256];
    int32_t n = 0;
    const AccessFailure failure = Exchange(request, reply, &n);
    ExchangeReport report;
    if (!m_observers.empty()) {
        report.isSet = true;
        report.type = type;
        report.index = request.index;
        report.failure = failure;
        report.written = frame::ReadElement(type, request.element);
    }
    if (failure != AccessFailure::None) {
        Report(report);
        return Failed(failure);
    }

    const double v = frame::ReadElement(reply[3] & 0x0F, reply + 7);
    switch (type) {
    case OBJ_INT8: {
        const int8_t r = static_cast<int8_t>(ToInteger(type, v));
        std::memcpy(value, &r, 1);
        report.echo = r;
        break;
    }
    case OBJ_INT16: {
        const int16_t r = static_cast<int16_t>(ToInteger(type, v));
        std::memcpy(value, &r, 2);
        report.echo = r;
        break;
    }
    case OBJ_INT32: {
        const int32_t r = ToInteger(type, v);
        std::memcpy(value, &r, 4);
        report.echo = r;
        break;
    }
    default: {
        const float r = ToFloat(v);
        std::memcpy(value, &r, 4);
        report.echo = r;
        break;
    }
    }
    Report(report);
    return true;
}

bool CObjectAccess::GetObjectXXX(uint8_t type, uint32_t index, uint8_t subIndex, void* out, int32_t count) {
    StatisticsScope statistics(GetObjectStatistics());
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!frame::IsKnownType(type) || (out == nullptr && count > 0)) return Failed(AccessFailure::UnknownType);

    const frame::Request request{static_cast<uint8_t>(m_deviceId), frame::OP_GET_REQUEST, type,
                                 static_cast<uint16_t>(index), subIndex, {static_cast<uint8_t>(count & 0xFF), 0, 0, 0}};
    uint8_t reply[256];
    int32_t n = 0;
    const AccessFailure failure = Exchange(request, reply, &n);
    const bool observed = !m_observers.empty();
    ExchangeReport report;
    report.type = type;
    report.index = request.index;
    report.subIndex = subIndex;
    report.failure = failure;
    if (failure != AccessFailure::None) {
        if (observed) Report(report);
        return Failed(failure);
    }

    const int32_t elements = frame::Elements(static_cast<size_t>(n));
    const int32_t store = std::min(std::max(count, 0), elements);
    const uint8_t replyType = reply[3] & 0x0F;
    auto* slots = static_cast<uint8_t*>(out);
    double values[frame::kMaxReplyElements];
    for (int32_t i = 0; i < store; ++i) {
        const double v = frame::ReadElement(replyType, reply + 7 + 4 * i);
        if (type == OBJ_FLOAT32) {
            const float f = ToFloat(v);
            std::memcpy(slots + 4 * i, &f, 4);
            if (observed) values[i] = f;
        } else {
            const int32_t r = ToInteger(type, v);
            std::memcpy(slots + 4 * i, &r, 4);
            if (observed) values[i] = r;
        }
    }
    if (observed) {
        report.values = values;
        report.valueCount = store;
        Report(report);
    }
    return true;
}

void CObjectAccess::AddObserver(IExchangeObserver* observer) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void CObjectAccess::RemoveObserver(IExchangeObserver* observer) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void CObjectAccess::Report(const ExchangeReport& report) {
    for (IExchangeObserver* observer : m_observers) observer->OnExchange(report);
}

AccessFailure CObjectAccess::Exchange(const frame::Request& request, uint8_t* reply, int32_t* replyLength) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_port == nullptr) return AccessFailure::NotConnected;

    // Back-off after a port fault or a silent module (unsigned differences, so
    // a wrap of the tick count does not matter).
    const uint32_t t = Now();
    if (m_faultTime != 0) {
        if (t - m_faultTime <= kBackOffMs) return AccessFailure::Waiting;
        m_faultTime = 0;
        m_port->Open();
    }
    if (m_noReplyTime != 0) {
        if (t - m_noReplyTime <= kBackOffMs) return AccessFailure::Waiting;
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

    uint8_t bytes[frame::kRequestLength];
    frame::BuildRequest(request, bytes);
    if (m_port->Write(bytes, frame::kRequestLength) < 0) {
        m_faultTime = Mark(Now());
        if (request.op == frame::OP_SET_REQUEST) m_port->Open();
        return AccessFailure::PortError;
    }

    const int32_t n = Receive(reply);
    if (n < 0) {
        m_faultTime = Mark(Now());
        return AccessFailure::PortError;
    }
    if (n == 0) {
        m_noReplyTime = Mark(Now());
        return AccessFailure::NoReply;
    }

    // A reply that fails a test changes neither back-off mark.
    switch (frame::CheckReply(reply, static_cast<size_t>(n), request)) {
    case frame::ReplyFault::None: break;
    case frame::ReplyFault::Incomplete: return AccessFailure::IncompleteReply;
    case frame::ReplyFault::Malformed: return AccessFailure::MalformedReply;
    case frame::ReplyFault::BadChecksum: return AccessFailure::BadChecksum;
    case frame::ReplyFault::OtherRequest: return AccessFailure::OtherRequest;
    }

    m_faultTime = 0;
    m_noReplyTime = 0;
    *replyLength = n;
    return AccessFailure::None;
}

uint32_t CObjectAccess::RestOnWireUs(const uint8_t* buffer, int32_t collected) const {
    const uint32_t rate = m_port->LineRate();
    if (rate == 0 || collected < 2) return 0;
    const int32_t missing = buffer[1] + 4 - collected;
    if (missing <= 0) return 0;
    // 10 bits a byte: start, 8 data, stop.
    return static_cast<uint32_t>(uint64_t(missing) * 10u * 1000000u / rate);
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
            // A frame begun whose rest is still on the wire: wait the time the
            // rest takes at the line's rate (at most up to the deadline)
            // rather than waking for every few bytes as they trickle in.
            if (const uint32_t restUs = RestOnWireUs(buffer, collected); restUs >= 1000) {
                const uint32_t leftMs = deadline - Now();
                const uint32_t us = std::min<uint32_t>(restUs, std::min<uint32_t>(leftMs, 1000) * 1000);
                std::this_thread::sleep_for(std::chrono::microseconds(us));
                continue;
            }
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
