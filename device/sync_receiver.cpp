#include "device/sync_receiver.h"

#include <algorithm>
#include <utility>

CSyncReceiver::CSyncReceiver(Clock clock) : m_clock(std::move(clock)), m_buffer(BUFFER_SIZE) {}

bool CSyncReceiver::Receive(CCommPort* port, bool display, Chunk* chunk) {
    if (!port) return false;
    if (!display) {
        m_skip = SKIP_CHUNKS;
        m_shownEndsInCr = false;
    }
    char* buf = m_buffer.data();
    const int32_t queued = port->GetInQueue();
    if (queued < 0) {
        // Hung up (module unplugged) or closed: the stream comes back with the
        // module once the port is opened again at its rate.
        const auto now = m_clock();
        if (!m_lastReopen || now - *m_lastReopen >= kReopenInterval) {
            m_lastReopen = now;
            ++m_reopens;
            m_shownEndsInCr = false;  // what comes after the reopen does not continue a pair
            port->Close();
            port->EnsureOpen();
        }
    } else if (queued > 0) {
        int32_t got = port->Read(buf, std::min<int32_t>(queued, READ_MAX));
        if (got > 0) {
            // A CR LF pair stays in one chunk when its LF is there already.
            if (buf[got - 1] == '\r' && port->Read(buf + got, 1) > 0) ++got;
            buf[got] = '\0';
            const bool followsCr = m_shownEndsInCr;
            m_shownEndsInCr = false;
            if (display) {
                if (m_skip > 0) {
                    --m_skip;
                    return false;
                }
                // Only an LF whose CR ended the chunk shown before is left
                // out of the text: any other LF is a line break of its own.
                const int32_t drop = followsCr && buf[0] == '\n' ? 1 : 0;
                m_shownEndsInCr = buf[got - 1] == '\r';
                chunk->bytes = buf;
                chunk->length = got;
                chunk->text = buf + drop;
                chunk->textLength = got - drop;
                if (IExchangeObserver* observer = m_observer.load()) observer->OnSyncText(buf, got);
                return true;
            }
        }
    }
    if (m_skip > 0) --m_skip;
    return false;
}
