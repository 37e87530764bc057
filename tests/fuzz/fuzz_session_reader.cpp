// Fuzz target: the session file reader of tarvik-sim --replay, tarvik-ui
// --replay and tarvik-cli export. The input is the file's content. A refusal
// says why; a session that reads is exported as CSV, written again line by
// line and read back (the same records), and replayed at several clock times,
// each recorded answer built into a reply frame.
#include "app/session_file.h"
#include "sim/session_replay.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Session session;
    std::string error;
    if (!ParseSession(text, &session, &error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    (void)SessionCsv(session);

    std::string written = SessionHeaderLine(session.header);
    for (const SessionRecord& r : session.records) written += SessionRecordLine(r);
    Session back;
    std::string backError;
    if (!ParseSession(written, &back, &backError) || back.cut || back.records.size() != session.records.size())
        std::abort();
    for (size_t i = 0; i < back.records.size(); ++i)
        if (back.records[i].kind != session.records[i].kind || back.records[i].index != session.records[i].index)
            std::abort();

    double now = 0;
    for (bool loop : {false, true}) {
        sim::SessionReplay replay(session, 1.0, loop, [&now] { return now; });
        const double d = replay.Duration();
        for (double at : {0.0, d / 2, d, 2.5 * d + 1}) {
            now = at;
            (void)replay.DueSyncText();
            for (const SessionRecord& r : session.records) {
                uint8_t type = 0;
                std::vector<double> values;
                if (replay.Answer(r.index, r.subIndex, 61, &type, &values))
                    (void)sim::RecordedReply(1, r.index, r.subIndex, type, values);
            }
        }
        now = 0;
    }
    return 0;
}
