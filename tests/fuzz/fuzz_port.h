#pragma once
// The fake port of the object-access fuzz target. Its code lives in
// fuzz_port.cpp, built without coverage instrumentation, so the fuzzer's
// time and feedback go to the code under test.
#include "device/comm_port.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FuzzPort : public CCommPort {
public:
    explicit FuzzPort(uint32_t* clock) : m_clock(clock) {}
    bool Open() override;
    bool Close() override;
    bool EnsureOpen() override;
    int32_t Write(const void* buffer, int32_t length) override;
    int32_t Read(void* buffer, int32_t length) override;
    void Purge() override;
    bool IsOpen() const override { return m_open; }
    int32_t GetInQueue() override;
    int32_t GetOutQueue() override { return m_open ? 0 : -1; }
    // The next chunk arrives (or the port fails, for an error chunk) once the
    // request is out; with none left the clock moves on by the time waited.
    int32_t WaitForInput(int32_t timeoutMs) override;

    // A new exchange: `stale` bytes wait in the queue already.
    void Reset(const uint8_t* stale, size_t count);
    void AddChunk(const uint8_t* bytes, size_t count);
    void AddError();
    // The bytes of this exchange's chunks up to its first error chunk: what
    // the receive loop can have seen after the request.
    std::vector<uint8_t> StreamBeforeError() const;

private:
    struct Chunk {
        bool error;
        size_t begin, end;  // into m_chunkBytes
    };
    uint32_t* m_clock;
    bool m_open = true;
    bool m_written = false;
    std::vector<uint8_t> m_queue;
    size_t m_queueHead = 0;
    std::vector<uint8_t> m_chunkBytes;
    std::vector<Chunk> m_chunks;
    size_t m_nextChunk = 0;
};
