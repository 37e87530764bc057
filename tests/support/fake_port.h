#pragma once
// A scripted CCommPort for protocol tests. Each write takes the next scripted
// reply: a list of chunks that arrive one per WaitForInput call. Waiting
// advances the test's clock by the time waited, so deadlines and back-off run
// on simulated time without sleeping.
#include "device/comm_port.h"
#include "device/frame.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

using Bytes = std::vector<uint8_t>;

class CFakePort : public CCommPort {
public:
    explicit CFakePort(uint32_t* clock) : m_clock(clock) {}

    bool Open() override {
        ++opens;
        open = true;
        return true;
    }
    bool Close() override {
        const bool was = open;
        open = false;
        return was;
    }
    bool EnsureOpen() override { return open || Open(); }
    int32_t Write(const void* buffer, int32_t length) override {
        if (!open) return -1;
        if (failWrites > 0) {
            --failWrites;
            open = false;  // a failed write closes the port
            return -1;
        }
        const auto* p = static_cast<const uint8_t*>(buffer);
        writes.emplace_back(p, p + length);
        if (!replies.empty()) {
            for (auto& chunk : replies.front()) pending.push_back(chunk);
            replies.pop_front();
        }
        return length;
    }
    int32_t Read(void* buffer, int32_t length) override {
        if (!open) return -1;
        const int32_t n = std::min<int32_t>(length, static_cast<int32_t>(available.size()));
        std::memcpy(buffer, available.data(), static_cast<size_t>(n));
        available.erase(available.begin(), available.begin() + n);
        ++reads;
        return n;
    }
    void Purge() override { available.clear(); }
    bool IsOpen() const override { return open; }
    int32_t GetInQueue() override {
        if (!open || (queueErrorAfterWrite && !writes.empty())) return -1;
        return static_cast<int32_t>(available.size());
    }
    int32_t GetOutQueue() override { return open ? 0 : -1; }
    int32_t WaitForInput(int32_t timeoutMs) override {
        if (!open) return -1;
        if (!pending.empty()) {
            available.insert(available.end(), pending.front().begin(), pending.front().end());
            pending.pop_front();
            return static_cast<int32_t>(available.size());
        }
        *m_clock += static_cast<uint32_t>(timeoutMs);
        return 0;
    }

    bool open = true;
    int opens = 0;
    int reads = 0;
    int failWrites = 0;
    bool queueErrorAfterWrite = false;
    Bytes available;                          // in the input queue now
    std::deque<Bytes> pending;                // arriving one chunk per wait
    std::deque<std::vector<Bytes>> replies;   // per write: the chunks of its reply
    std::vector<Bytes> writes;

private:
    uint32_t* m_clock;
};

// A reply frame with the given command byte, index, sub-index and 4-byte elements.
inline Bytes ReplyFrame(uint8_t command, uint16_t index, uint8_t subIndex, const std::vector<uint32_t>& elements,
                        uint8_t deviceId = 1) {
    Bytes data;
    for (uint32_t e : elements)
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(e >> (8 * i)));
    Bytes out(frame::Length(static_cast<int>(elements.size())));
    frame::Build(out.data(), deviceId, command, index, subIndex, data.data(), static_cast<int>(elements.size()));
    return out;
}

inline uint32_t FloatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
