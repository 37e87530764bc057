#pragma once
// CSyncReceiver: the reception of the module's synchronous data stream, as
// the Sync data page runs it every 10 ms. Each step takes what is queued on
// the port (at most READ_MAX bytes, plus the LF behind a final CR so that a
// CR LF pair stays in one chunk) and says what goes where: the export file
// gets every byte as it came; the text box gets the chunk without a leading
// LF that completes a pair whose CR ended the chunk shown before. After a
// start the first SKIP_CHUNKS steps throw their chunk away. A hung-up or
// closed port is closed and opened again, at most once a second (on the Sync
// tab no request runs whose back-off would do it). No Qt, no file: the page
// writes, shows and reports.
#include "device/comm_port.h"
#include "device/object_access.h"  // IExchangeObserver

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CSyncReceiver {
public:
    enum : int32_t {
        READ_MAX = 10240,     // bytes taken per step at most (one more for a split pair)
        BUFFER_SIZE = 10256,
        SKIP_CHUNKS = 10,     // steps thrown away after a start
    };
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kReopenInterval{1};

    // A chunk to record and show. Both point into the receiver's buffer and
    // stay valid until the next step.
    struct Chunk {
        const char* bytes = nullptr;  // for the export file: every byte read in this step
        int32_t length = 0;
        const char* text = nullptr;   // for the text box; NUL-terminated at textLength
        int32_t textLength = 0;
    };

    explicit CSyncReceiver(Clock clock = &std::chrono::steady_clock::now);

    // One step on `port` (null: nothing happens). display false is a start:
    // the skip count restarts and what is queued is thrown away. Returns true
    // with *chunk filled when the step's chunk is to be recorded and shown.
    bool Receive(CCommPort* port, bool display, Chunk* chunk);

    // Told of each chunk that is recorded and shown (its bytes as the export
    // file gets them); null for none. Not owned; set it on the thread that
    // runs Receive.
    void SetObserver(IExchangeObserver* observer) { m_observer.store(observer); }

    int32_t ChunksToSkip() const { return m_skip; }
    // Close + EnsureOpen pairs done for a hung-up or closed port.
    int Reopens() const { return m_reopens; }

private:
    Clock m_clock;
    std::vector<char> m_buffer;
    int32_t m_skip = 0;
    bool m_shownEndsInCr = false;  // the last chunk shown ended in CR: a leading LF completes it
    std::optional<std::chrono::steady_clock::time_point> m_lastReopen;
    int m_reopens = 0;
    std::atomic<IExchangeObserver*> m_observer{nullptr};
};
