#include "fuzz_sync_port.h"

#include <algorithm>
#include <cstring>

bool SyncFuzzPort::Open() {
    ++opens;
    if (m_openFails) return false;
    m_open = true;
    m_hung = false;
    return true;
}

bool SyncFuzzPort::Close() {
    ++closes;
    const bool was = m_open;
    m_open = false;
    m_hung = false;
    m_queue.clear();  // a new descriptor starts with an empty queue
    return was;
}

bool SyncFuzzPort::EnsureOpen() { return m_open || Open(); }

int32_t SyncFuzzPort::GetInQueue() {
    queueAsked = true;
    lastQueueReport = HungOrClosed() ? -1 : static_cast<int32_t>(m_queue.size());
    return lastQueueReport;
}

int32_t SyncFuzzPort::Read(void* buffer, int32_t length) {
    int32_t got = -1;
    if (!HungOrClosed() && length >= 0 && !m_failRead) {
        size_t n = std::min(static_cast<size_t>(length), m_queue.size());
        if (m_readLimit >= 0) n = std::min(n, static_cast<size_t>(m_readLimit));
        if (n) std::memcpy(buffer, m_queue.data(), n);
        readBytes.insert(readBytes.end(), m_queue.begin(), m_queue.begin() + static_cast<long>(n));
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<long>(n));
        got = static_cast<int32_t>(n);
    }
    m_failRead = false;
    m_readLimit = -1;
    reads.push_back({length, got});
    return got;
}

void SyncFuzzPort::Arrive(const uint8_t* bytes, size_t count) {
    if (!HungOrClosed()) m_queue.insert(m_queue.end(), bytes, bytes + count);
}

void SyncFuzzPort::BeginStep() {
    reads.clear();
    readBytes.clear();
    lastQueueReport = 0;
    closes = opens = 0;
    queueAsked = false;
}
