#include "app/session_recorder.h"

#include "app/c_locale.h"
#include "app/config_compare.h"
#include "device/connection.h"
#include "device/object_dictionary.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr auto kFlushPeriod = std::chrono::milliseconds(200);

}  // namespace

CSessionRecorder::CSessionRecorder(Clock clock) : m_clock(std::move(clock)) {}

CSessionRecorder::~CSessionRecorder() { Stop(); }

bool CSessionRecorder::Start(const std::string& path, SessionHeader header, std::string* error) {
    Stop();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    m_start = m_clock();
    header.started = UtcIso8601(std::chrono::system_clock::now());
    const std::string line = SessionHeaderLine(header);
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size() || std::fflush(file) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        std::fclose(file);
        return false;
    }
    m_path = path;
    m_file = file;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_queue.Clear();
        m_stop = false;
        m_failure.clear();
    }
    m_failed = false;
    m_recording = true;
    m_writer = std::thread([this] { WriterLoop(); });
    return true;
}

void CSessionRecorder::Stop() {
    if (!m_writer.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_writer.join();
    m_recording = false;
    if (m_file && std::fclose(m_file) != 0 && !m_failed) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_failure = "cannot write " + m_path + ": " + std::strerror(errno);
        m_failed = true;
    }
    m_file = nullptr;
}

double CSessionRecorder::Seconds() const { return std::chrono::duration<double>(m_clock() - m_start).count(); }

double CSessionRecorder::ElapsedSeconds() const { return m_recording ? Seconds() : 0.0; }

std::string CSessionRecorder::Failure() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_failure;
}

void CSessionRecorder::OnExchange(const ExchangeReport& report) {
    if (!m_recording || m_failed) return;
    const double t = Seconds();
    std::lock_guard<std::mutex> guard(m_mutex);
    Entry e{report.isSet ? SessionRecord::Kind::Set : SessionRecord::Kind::Get,
            t,
            report.type,
            report.index,
            report.subIndex,
            report.failure,
            m_queue.values.size(),
            0};
    if (report.isSet) {
        m_queue.values.push_back(report.written);
        m_queue.values.push_back(report.echo);
        e.count = 2;
    } else if (report.failure == AccessFailure::None) {
        m_queue.values.insert(m_queue.values.end(), report.values, report.values + report.valueCount);
        e.count = static_cast<size_t>(report.valueCount);
    }
    m_queue.entries.push_back(e);
}

void CSessionRecorder::OnSyncText(const char* bytes, int32_t length) {
    if (!m_recording || m_failed || length <= 0) return;
    const double t = Seconds();
    std::lock_guard<std::mutex> guard(m_mutex);
    m_queue.entries.push_back(
        {SessionRecord::Kind::Sync, t, 0, 0, 0, AccessFailure::None, m_queue.text.size(), static_cast<size_t>(length)});
    m_queue.text.append(bytes, static_cast<size_t>(length));
}

void CSessionRecorder::WriterLoop() {
    Batch batch;
    for (;;) {
        bool stop = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, kFlushPeriod, [this] { return m_stop; });
            stop = m_stop;
            // The queue's pools change places with the written batch's, so
            // both keep their capacity.
            std::swap(batch, m_queue);
        }
        if (!m_failed && !batch.entries.empty() && !WriteBatch(batch)) {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_failure = "cannot write " + m_path + ": " + std::strerror(errno);
            m_failed = true;
        }
        batch.Clear();
        if (stop) return;
    }
}

bool CSessionRecorder::WriteBatch(const Batch& batch) {
    std::string lines;
    SessionRecord r;
    for (const Entry& e : batch.entries) {
        r.kind = e.kind;
        r.t = e.t;
        r.type = e.type;
        r.index = e.index;
        r.subIndex = e.subIndex;
        r.failed = e.failure == AccessFailure::None ? std::string() : std::string(FailureText(e.failure));
        r.values.clear();
        r.sync.clear();
        if (e.kind == SessionRecord::Kind::Sync) {
            r.sync.assign(batch.text, e.first, e.count);
        } else if (e.kind == SessionRecord::Kind::Set) {
            r.value = batch.values[e.first];
            r.echo = batch.values[e.first + 1];
        } else {
            r.values.assign(batch.values.begin() + static_cast<long>(e.first),
                            batch.values.begin() + static_cast<long>(e.first + e.count));
        }
        lines += SessionRecordLine(r);
    }
    errno = 0;
    if (std::fwrite(lines.data(), 1, lines.size(), m_file) != lines.size()) return false;
    return std::fflush(m_file) == 0;
}

SessionHeader ReadSessionHeader(const std::string& program, const std::string& port, int32_t baud, int32_t deviceId) {
    SessionHeader h;
    h.program = program;
    h.port = port;
    h.baud = baud;
    h.deviceId = deviceId;
    if (!g_pObjectAccess) return h;
    int32_t v = 0;
    if (g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_PRODUCT_ID, 0, &v, 1)) h.product = v;
    if (g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_FIRMWARE_VERSION, 0, &v, 1)) h.firmware = FormatC("%.2f", v / 100.0);
    if (g_pObjectAccess->GetObjectXXX(OBJ_INT32, od::OBJ_HARDWARE_VERSION, 0, &v, 1)) h.hardware = FormatC("%.2f", v / 100.0);
    const ConfigReading reading = ReadConfiguration({}, true);
    for (const DumpEntry& e : reading.entries) {
        const double value = ParseDoubleC(e.value.c_str());
        h.configuration.push_back({e.mnemonic, value});
    }
    return h;
}
