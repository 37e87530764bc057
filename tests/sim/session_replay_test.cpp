// The replay of a recorded session on a test clock: which recorded value a
// get sees at each moment, at another speed and when starting over, and when
// the recorded sync text comes due.
#include "sim/session_replay.h"

#include "device/frame.h"

#include <gtest/gtest.h>

namespace {

SessionRecord Get(double t, uint16_t index, std::vector<double> values) {
    SessionRecord r;
    r.t = t;
    r.index = index;
    r.type = OBJ_FLOAT32;
    r.values = std::move(values);
    return r;
}

SessionRecord Sync(double t, const std::string& text) {
    SessionRecord r;
    r.kind = SessionRecord::Kind::Sync;
    r.t = t;
    r.sync = text;
    return r;
}

Session Recorded() {
    Session s;
    s.header.configuration = {{"sp", 250}};
    SessionRecord failed = Get(1.5, 0x37, {});
    failed.failed = "no reply";
    s.records = {Get(1.0, 0x37, {10, 20, 30}), failed, Get(2.0, 0x37, {11, 21, 31}), Sync(2.5, "a\r\n"),
                 Get(4.0, 0x30, {12})};
    return s;
}

class SessionReplayTest : public ::testing::Test {
protected:
    double now = 100;  // the test's clock, in seconds
    std::vector<double> At(sim::SessionReplay& replay, uint16_t index, int count = 3) {
        uint8_t type = 0;
        std::vector<double> values;
        if (!replay.Answer(index, 0, count, &type, &values)) return {};
        return values;
    }
};

TEST_F(SessionReplayTest, AGetSeesTheLatestRecordedValueAtOrBeforeTheClock) {
    sim::SessionReplay replay(Recorded(), 1.0, false, [this] { return now; });
    now = 100.5;  // before the first record: its first value
    EXPECT_EQ(At(replay, 0x37), (std::vector<double>{10, 20, 30}));
    now = 101.7;  // after a failed read: the last good value
    EXPECT_EQ(At(replay, 0x37), (std::vector<double>{10, 20, 30}));
    now = 102.0;
    EXPECT_EQ(At(replay, 0x37), (std::vector<double>{11, 21, 31}));
    now = 200;  // past the end: the last values stay
    EXPECT_EQ(At(replay, 0x37), (std::vector<double>{11, 21, 31}));
    EXPECT_EQ(At(replay, 0x37, 2), (std::vector<double>{11, 21}));
    // The header's configuration counts as recorded; never recorded is the model's.
    EXPECT_EQ(At(replay, 0x1f, 1), (std::vector<double>{250}));
    EXPECT_TRUE(At(replay, 0x3a).empty());
}

TEST_F(SessionReplayTest, TheClockRunsAtTheSpeedAndStartsOverWithLoop) {
    sim::SessionReplay fast(Recorded(), 2.0, false, [this] { return now; });
    now = 101.0;  // two session seconds
    EXPECT_EQ(At(fast, 0x37), (std::vector<double>{11, 21, 31}));

    now = 100;
    sim::SessionReplay loop(Recorded(), 1.0, true, [this] { return now; });
    now = 104.0 + 2.0;  // one whole session (4 s) and 2 s of the next
    EXPECT_DOUBLE_EQ(loop.SessionTime(), 2.0);
    EXPECT_EQ(At(loop, 0x37), (std::vector<double>{11, 21, 31}));
    now = 104.0 + 1.2;
    EXPECT_EQ(At(loop, 0x37), (std::vector<double>{10, 20, 30}));
}

TEST_F(SessionReplayTest, TheSyncTextComesDueAtItsTimeOncePerRound) {
    sim::SessionReplay once(Recorded(), 1.0, false, [this] { return now; });
    now = 102.4;
    EXPECT_EQ(once.DueSyncText(), "");
    now = 102.5;
    EXPECT_EQ(once.DueSyncText(), "a\r\n");
    now = 110;
    EXPECT_EQ(once.DueSyncText(), "");

    now = 100;
    sim::SessionReplay loop(Recorded(), 1.0, true, [this] { return now; });
    now = 110.6;  // 2.5, 6.5 and 10.5 have passed
    EXPECT_EQ(loop.DueSyncText(), "a\r\na\r\na\r\n");
}

TEST_F(SessionReplayTest, ASessionOfMicrosecondsLoopsWithoutFloodingTheStream) {
    Session s;
    s.records = {Sync(0, "a"), Sync(1e-6, "b")};
    sim::SessionReplay loop(s, 1.0, true, [this] { return now; });
    now = 110;  // ten million rounds
    const std::string due = loop.DueSyncText();
    EXPECT_FALSE(due.empty());
    EXPECT_LE(due.size(), 2u * 12);  // the last few rounds only
}

TEST(RecordedReply, IsAValidGetReplyWithTheValuesInTheirType) {
    const std::vector<uint8_t> reply = sim::RecordedReply(1, 0x37, 0, OBJ_FLOAT32, {1.5, -2.0});
    const frame::Request request{1, frame::OP_GET_REQUEST, OBJ_FLOAT32, 0x37, 0, {2, 0, 0, 0}};
    EXPECT_EQ(frame::CheckReply(reply.data(), reply.size(), request), frame::ReplyFault::None);
    EXPECT_EQ(frame::ReadElement(OBJ_FLOAT32, reply.data() + 7), 1.5);
    EXPECT_EQ(frame::ReadElement(OBJ_FLOAT32, reply.data() + 11), -2.0);
    const std::vector<uint8_t> small = sim::RecordedReply(1, 0x10, 0, OBJ_INT8, {-1});
    EXPECT_EQ(frame::ReadElement(small[3] & 0x0F, small.data() + 7), -1);
}

}  // namespace
