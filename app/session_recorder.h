#pragma once
// Recording a session: CSessionRecorder is an exchange observer (attach it
// to the access object with AddObserver, and to the Sync receiver with
// SetObserver) that copies each report into a queue and returns; a writer
// thread turns the queue into lines of the session file (session_file.h)
// and flushes them at least every 200 ms, so a crash or an unplug loses at
// most that much. A file that cannot be written ends the recording with a
// reason (Failure); the exchanges go on untouched.
//
// The window:   SessionHeader h = ReadSessionHeader("tarvik-ui 1.04", port, baud, id);
//               recorder.Start(path, h, &error);
//               g_pObjectAccess->AddObserver(&recorder); syncReceiver.SetObserver(&recorder);
//               ... recorder.ElapsedSeconds() for the button, recorder.Failure() to stop with a message
//               g_pObjectAccess->RemoveObserver(&recorder); syncReceiver.SetObserver(nullptr); recorder.Stop();
// No Qt.
#include "app/session_file.h"
#include "device/object_access.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CSessionRecorder : public IExchangeObserver {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit CSessionRecorder(Clock clock = &std::chrono::steady_clock::now);
    ~CSessionRecorder() override;  // stops
    CSessionRecorder(const CSessionRecorder&) = delete;
    CSessionRecorder& operator=(const CSessionRecorder&) = delete;

    // Creates (or replaces) the file and writes the header; t = 0 is now and
    // the header's "started" is set to the UTC time now. False with
    // "cannot create PATH: REASON" when the file cannot be made.
    bool Start(const std::string& path, SessionHeader header, std::string* error);
    // Writes what is queued and closes the file. Detach the recorder from
    // the access object first, or later reports are dropped.
    void Stop();
    bool IsRecording() const { return m_recording.load(); }
    // Seconds since Start (0 when not recording).
    double ElapsedSeconds() const;
    // Why the writing stopped ("cannot write PATH: REASON"); empty while the
    // file takes every line. Once set, reports are dropped.
    std::string Failure() const;
    const std::string& Path() const { return m_path; }

    void OnExchange(const ExchangeReport& report) override;
    void OnSyncText(const char* bytes, int32_t length) override;

private:
    // One queued report; values and text live in the batch's pools so that
    // queueing allocates nothing once the pools have grown.
    struct Entry {
        SessionRecord::Kind kind;
        double t;
        uint8_t type;
        uint16_t index;
        uint8_t subIndex;
        AccessFailure failure;
        size_t first;   // in values (get, set: written then echo) or text (sync)
        size_t count;
    };
    struct Batch {
        std::vector<Entry> entries;
        std::vector<double> values;
        std::string text;
        void Clear() {
            entries.clear();
            values.clear();
            text.clear();
        }
    };
    double Seconds() const;
    void WriterLoop();
    bool WriteBatch(const Batch& batch);

    Clock m_clock;
    std::string m_path;
    FILE* m_file = nullptr;
    std::chrono::steady_clock::time_point m_start{};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_failed{false};
    mutable std::mutex m_mutex;  // the queue, the failure text and the stop request
    std::condition_variable m_wake;
    Batch m_queue;
    bool m_stop = false;
    std::string m_failure;
    std::thread m_writer;
};

// The header for a recording that starts now: the module's product,
// firmware and hardware and its configuration (as tarvik-cli dump reads it),
// read through g_pObjectAccess; what cannot be read is left out. Read
// before the recorder is attached, so these reads are not recorded.
SessionHeader ReadSessionHeader(const std::string& program, const std::string& port, int32_t baud, int32_t deviceId);
