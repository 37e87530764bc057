#include "sim/session_replay.h"

#include "device/frame.h"
#include "device/object_dictionary.h"

#include <algorithm>
#include <cmath>

namespace sim {

SessionReplay::SessionReplay(const Session& session, double speed, bool loop, Clock clock)
    : m_speed(speed > 0 ? speed : 1.0), m_loop(loop), m_clock(std::move(clock)), m_start(m_clock()) {
    for (const SessionConfigValue& c : session.header.configuration)
        if (const od::ObjectInfo* info = od::FindByMnemonic(c.mnemonic))
            m_samples[{info->index, 0}].push_back({0.0, info->type, c.value});
    for (const SessionRecord& r : session.records) {
        m_duration = std::max(m_duration, r.t);
        if (r.kind == SessionRecord::Kind::Sync) {
            m_sync.push_back({r.t, r.sync});
            continue;
        }
        if (r.kind != SessionRecord::Kind::Get || !r.Succeeded()) continue;
        for (size_t i = 0; i < r.values.size(); ++i)
            if (std::isfinite(r.values[i]))
                m_samples[{r.index, r.subIndex + static_cast<int>(i)}].push_back({r.t, r.type, r.values[i]});
    }
    // The lines are in time order as written; a hand-made file may not be.
    for (auto& [key, samples] : m_samples)
        std::stable_sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.t < b.t; });
    std::stable_sort(m_sync.begin(), m_sync.end(), [](const Text& a, const Text& b) { return a.t < b.t; });
}

double SessionReplay::Elapsed() const { return std::max(0.0, m_clock() - m_start) * m_speed; }

double SessionReplay::SessionTime() const {
    const double t = Elapsed();
    if (!m_loop || m_duration <= 0) return t;
    return std::fmod(t, m_duration);
}

const SessionReplay::Sample* SessionReplay::At(uint16_t index, int element, double t) const {
    const auto found = m_samples.find({index, element});
    if (found == m_samples.end() || found->second.empty()) return nullptr;
    const std::vector<Sample>& samples = found->second;
    // The last sample at or before t; the first while t is before it.
    auto after = std::upper_bound(samples.begin(), samples.end(), t, [](double v, const Sample& s) { return v < s.t; });
    return after == samples.begin() ? &samples.front() : &*(after - 1);
}

bool SessionReplay::Answer(uint16_t index, uint8_t subIndex, int count, uint8_t* type,
                           std::vector<double>* values) const {
    values->clear();
    const double t = SessionTime();
    const Sample* first = At(index, subIndex, t);
    if (first == nullptr) return false;
    *type = first->type;
    values->push_back(first->value);
    for (int e = subIndex + 1; e < subIndex + count && e < 256; ++e) {
        const Sample* s = At(index, e, t);
        if (s == nullptr) break;
        values->push_back(s->value);
    }
    return true;
}

std::string SessionReplay::DueSyncText() {
    std::string due;
    if (m_sync.empty()) return due;
    const double now = Elapsed();
    for (;;) {
        if (m_nextSync == m_sync.size()) {
            if (!m_loop || m_duration <= 0) break;
            // Starting over once the session's whole length has passed.
            if (now < (m_cycle + 1) * m_duration) break;
            // Rounds missed whole beyond the last few (a session a few
            // microseconds long) are skipped, not sent; past the precision of
            // a double nothing more comes due.
            const double round = std::max(m_cycle + 1, std::floor(now / m_duration) - kCatchUpRounds);
            if (!(round > m_cycle)) break;
            m_cycle = round;
            m_nextSync = 0;
        }
        if (m_sync[m_nextSync].t + m_cycle * m_duration > now) break;
        due += m_sync[m_nextSync++].text;
    }
    return due;
}

std::vector<uint8_t> RecordedReply(uint8_t deviceId, uint16_t index, uint8_t subIndex, uint8_t type,
                                   const std::vector<double>& values) {
    const int n = std::min<int>(static_cast<int>(values.size()), frame::kMaxReplyElements);
    std::vector<uint8_t> data(4 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (type == OBJ_FLOAT32) {
            const float f = static_cast<float>(values[i]);
            frame::WriteElement(OBJ_FLOAT32, &f, &data[4 * i]);
        } else {
            // Integers as int32: an int8 or int16 reads its low bytes back.
            const int32_t v = static_cast<int32_t>(std::clamp(values[i], -2147483648.0, 2147483647.0));
            frame::WriteElement(OBJ_INT32, &v, &data[4 * i]);
        }
    }
    std::vector<uint8_t> reply(frame::Length(n));
    frame::Build(reply.data(), deviceId, static_cast<uint8_t>(frame::OP_GET_REPLY | type), index, subIndex, data.data(), n);
    return reply;
}

}  // namespace sim
