#include "fuzz_port.h"

#include "device/frame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool FuzzPort::Open() { return m_open = true; }
bool FuzzPort::Close() {
    m_open = false;
    return true;
}
bool FuzzPort::EnsureOpen() { return m_open = true; }

int32_t FuzzPort::Write(const void* buffer, int32_t length) {
    if (!m_open) return -1;
    // Whatever the call, what goes out is one request the module can parse.
    frame::Request request;
    if (length != frame::kRequestLength || !frame::ParseRequest(static_cast<const uint8_t*>(buffer), &request)) {
        std::fprintf(stderr, "object-access oracle: a write that is no request frame\n");
        std::abort();
    }
    m_written = true;
    return length;
}

int32_t FuzzPort::Read(void* buffer, int32_t length) {
    if (!m_open || length < 0) return -1;
    const size_t n = std::min(static_cast<size_t>(length), m_queue.size() - m_queueHead);
    if (n) std::memcpy(buffer, m_queue.data() + m_queueHead, n);
    m_queueHead += n;
    return static_cast<int32_t>(n);
}

void FuzzPort::Purge() { m_queueHead = m_queue.size(); }

int32_t FuzzPort::GetInQueue() { return m_open ? static_cast<int32_t>(m_queue.size() - m_queueHead) : -1; }

int32_t FuzzPort::WaitForInput(int32_t timeoutMs) {
    if (!m_open) return -1;
    if (m_written && m_nextChunk < m_chunks.size()) {
        const Chunk c = m_chunks[m_nextChunk++];
        if (c.error) {
            m_open = false;  // a hang-up: errors from now on, until reopened
            return -1;
        }
        m_queue.insert(m_queue.end(), m_chunkBytes.begin() + static_cast<long>(c.begin),
                       m_chunkBytes.begin() + static_cast<long>(c.end));
        if (m_queue.size() > m_queueHead) return static_cast<int32_t>(m_queue.size() - m_queueHead);
    }
    *m_clock += static_cast<uint32_t>(timeoutMs);
    return 0;
}

void FuzzPort::Reset(const uint8_t* stale, size_t count) {
    m_written = false;
    m_queue.assign(stale, stale + count);
    m_queueHead = 0;
    m_chunkBytes.clear();
    m_chunks.clear();
    m_nextChunk = 0;
}

void FuzzPort::AddChunk(const uint8_t* bytes, size_t count) {
    const size_t begin = m_chunkBytes.size();
    m_chunkBytes.insert(m_chunkBytes.end(), bytes, bytes + count);
    m_chunks.push_back({false, begin, m_chunkBytes.size()});
}

void FuzzPort::AddError() { m_chunks.push_back({true, 0, 0}); }

std::vector<uint8_t> FuzzPort::StreamBeforeError() const {
    std::vector<uint8_t> out;
    for (const Chunk& c : m_chunks) {
        if (c.error) break;
        out.insert(out.end(), m_chunkBytes.begin() + static_cast<long>(c.begin),
                   m_chunkBytes.begin() + static_cast<long>(c.end));
    }
    return out;
}
