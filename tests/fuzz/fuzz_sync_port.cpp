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
    Purge();  // a new descriptor starts with an empty queue
    return was;
}

bool SyncFuzzPort::EnsureOpen() { return m_open || Open(); }

int32_t SyncFuzzPort::GetInQueue() {
    queueAsked = true;
    lastQueueReport = HungOrClosed() ? -1 : static_cast<int32_t>(m_queue.size() - m_head);
    return lastQueueReport;
}

int32_t SyncFuzzPort::Read(void* buffer, int32_t length) {
    int32_t got = -1;
    if (!HungOrClosed() && length >= 0 && !m_failRead) {
        size_t n = std::min(static_cast<size_t>(length), m_queue.size() - m_head);
        if (m_readLimit >= 0) n = std::min(n, static_cast<size_t>(m_readLimit));
        const uint8_t* from = m_queue.data() + m_head;
        if (n) std::memcpy(buffer, from, n);
        readBytes.insert(readBytes.end(), from, from + n);
        m_head += n;
        if (m_head == m_queue.size()) Purge();
        got = static_cast<int32_t>(n);
    }
    m_failRead = false;
    m_readLimit = -1;
    reads.push_back({length, got});
    return got;
}

void SyncFuzzPort::Purge() {
    m_queue.clear();
    m_head = 0;
}

void SyncFuzzPort::Arrive(const uint8_t* bytes, size_t count) {
    if (HungOrClosed()) return;
    if (m_head > kQueueMax) {
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<long>(m_head));
        m_head = 0;
    }
    const size_t room = kQueueMax - std::min(kQueueMax, m_queue.size() - m_head);
    m_queue.insert(m_queue.end(), bytes, bytes + std::min(count, room));
}

void SyncFuzzPort::BeginStep() {
    reads.clear();
    readBytes.clear();
    lastQueueReport = 0;
    closes = opens = 0;
    queueAsked = false;
}
