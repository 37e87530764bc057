#pragma once
// The fake port of the sync receive fuzz target: an input queue the script
// fills, hang-ups, failing reads and opens, short reads. It keeps a log of
// the current step's reads and of the reopens, for the target's checks. Built
// without coverage instrumentation (fuzz_sync_port.cpp), like fuzz_port.
#include "device/comm_port.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class SyncFuzzPort : public CCommPort {
public:
    bool Open() override;
    bool Close() override;
    bool EnsureOpen() override;
    int32_t Write(const void*, int32_t) override { return -1; }
    int32_t Read(void* buffer, int32_t length) override;
    void Purge() override;
    bool IsOpen() const override { return m_open; }
    int32_t GetInQueue() override;
    int32_t GetOutQueue() override { return m_open ? 0 : -1; }
    int32_t WaitForInput(int32_t) override { return GetInQueue(); }

    // Bytes a full driver buffer holds at most; more are lost, as on a line
    // nobody reads (and the fuzzer's memory stays bounded).
    static constexpr size_t kQueueMax = 64 * 1024;

    // Script actions. Bytes arrive only while the port is open and not hung up.
    void Arrive(const uint8_t* bytes, size_t count);
    void HangUp() { if (m_open) m_hung = true; }
    void FailNextRead() { m_failRead = true; }
    void LimitNextRead(int32_t most) { m_readLimit = most; }
    void SetOpenFails(bool fails) { m_openFails = fails; }

    // The current step's log; BeginStep clears it.
    void BeginStep();
    bool HungOrClosed() const { return !m_open || m_hung; }
    struct ReadCall {
        int32_t asked, got;
    };
    std::vector<ReadCall> reads;
    std::vector<uint8_t> readBytes;  // what the step's reads returned, in order
    int32_t lastQueueReport = 0;     // what GetInQueue said last
    int closes = 0, opens = 0;       // in this step
    bool queueAsked = false;

private:
    std::vector<uint8_t> m_queue;
    size_t m_head = 0;  // the first byte not read yet
    bool m_open = true;
    bool m_hung = false;
    bool m_failRead = false;
    bool m_openFails = false;
    int32_t m_readLimit = -1;
};
