#pragma once
// Replaying a recorded session (app/session_file.h): the replay clock runs
// from the start at `speed` times real time, in the session's seconds. A get
// of an element that the session recorded is answered with its latest
// recorded value at or before the clock (its first one while the clock is
// still before it); the header's configuration counts as recorded at t = 0.
// Elements never recorded are the model's. The recorded sync text comes due
// at its times. At the end the last values stay, or with `loop` the session
// starts over. Time is passed in, so tests run it on their own clock.
#include "app/session_file.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sim {

class SessionReplay {
public:
    using Clock = std::function<double()>;  // seconds on any monotonic scale
    SessionReplay(const Session& session, double speed, bool loop, Clock clock);

    // The replay clock in session seconds (within the session when looping).
    double SessionTime() const;
    // The session's length: the time of its last record.
    double Duration() const { return m_duration; }

    // The recorded answer to a get of `count` elements from `subIndex` on:
    // the elements recorded in a row from subIndex (at most count) and their
    // type. False when element subIndex was never recorded.
    bool Answer(uint16_t index, uint8_t subIndex, int count, uint8_t* type, std::vector<double>* values) const;

    // The recorded sync text whose time has come since the last call.
    std::string DueSyncText();

private:
    struct Sample {
        double t;
        uint8_t type;
        double value;
    };
    double Elapsed() const;  // session seconds since the start, not folded
    const Sample* At(uint16_t index, int element, double t) const;

    double m_speed;
    bool m_loop;
    Clock m_clock;
    double m_start;
    double m_duration = 0;
    std::map<std::pair<uint16_t, int>, std::vector<Sample>> m_samples;  // each in time order
    struct Text {
        double t;
        std::string text;
    };
    std::vector<Text> m_sync;  // in time order
    size_t m_nextSync = 0;
    double m_cycle = 0;        // times the session started over
    static constexpr double kCatchUpRounds = 10;
};

// The get reply frame that carries recorded values (at most 61).
std::vector<uint8_t> RecordedReply(uint8_t deviceId, uint16_t index, uint8_t subIndex, uint8_t type,
                                   const std::vector<double>& values);

}  // namespace sim
