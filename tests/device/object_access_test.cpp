// CObjectAccess against a scripted port: frame bytes, reply assembly,
// validation, conversions and the back-off, all on a simulated clock.
#include "device/object_access.h"
#include "tests/support/fake_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr uint8_t kGetReplyInt32 = frame::OP_GET_REPLY | OBJ_INT32;
constexpr uint8_t kSetReplyInt32 = frame::OP_SET_REPLY | OBJ_INT32;

class ObjectAccessTest : public ::testing::Test {
protected:
    uint32_t clock = 5000;
    CFakePort port{&clock};
    CObjectAccess access{&port, 30, 1, [this] { return clock; }};

    // Queues the reply to the next request as chunks.
    void Reply(std::vector<Bytes> chunks) { port.replies.push_back(std::move(chunks)); }
    void Reply(const Bytes& whole) { Reply(std::vector<Bytes>{whole}); }

    bool GetInt32(uint16_t index, int32_t* value) { return access.GetObjectXXX(OBJ_INT32, index, 0, value, 1); }
};

TEST_F(ObjectAccessTest, RequestFramesMatchTheWorkedExamples) {
    Reply(ReplyFrame(kGetReplyInt32, 0x02, 0, {1011}));
    int32_t product = 0;
    ASSERT_TRUE(GetInt32(0x02, &product));
    EXPECT_EQ(product, 1011);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0], (Bytes{0x02, 0x09, 0x01, 0x38, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x3C, 0x03}));

    Reply(ReplyFrame(kSetReplyInt32, 0x06, 0, {3}));
    int32_t command = 3;
    ASSERT_TRUE(access.SetObjectXXX(OBJ_INT32, 0x06, &command));
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[1], (Bytes{0x02, 0x09, 0x01, 0x18, 0x06, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x22, 0x03}));
}

TEST_F(ObjectAccessTest, RequestCarriesDeviceIdCountSubIndexAndUnextendedSmallValues) {
    CObjectAccess other(&port, 30, 0x1234, [this] { return clock; });
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x3e, 50, {0}));
    int32_t slots[300] = {};
    EXPECT_TRUE(other.GetObjectXXX(OBJ_FLOAT32, 0x1003e, 50, slots, 300));
    // Device id low byte, command 0x3C, index low 16 bits, sub-index 50, count low byte 300 & 0xFF = 44.
    const Bytes& get = port.writes.back();
    EXPECT_EQ(get[2], 0x34);
    EXPECT_EQ(get[3], 0x3C);
    EXPECT_EQ(get[4], 0x3e);
    EXPECT_EQ(get[5], 0x00);
    EXPECT_EQ(get[6], 50);
    EXPECT_EQ(get[7], 44);
    EXPECT_EQ(get[11], frame::Checksum(get.data() + 2, 9));

    Reply(ReplyFrame(frame::OP_SET_REPLY | OBJ_INT8, 0x09, 0, {0xFF}));
    int8_t minusOne = -1;
    EXPECT_TRUE(access.SetObjectXXX(OBJ_INT8, 0x09, &minusOne));
    EXPECT_EQ(Bytes(port.writes.back().begin() + 3, port.writes.back().begin() + 11),
              (Bytes{0x10, 0x09, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00}));
    EXPECT_EQ(minusOne, -1);
}

// The codec both sides share: each type's element written from a variable and
// read back, a request built and parsed again, the reply to it accepted.
TEST(FrameCodecTest, RequestsAndElementsRoundTripForEachType) {
    const int8_t i8 = -1;
    const int16_t i16 = -2;
    const int32_t i32 = -70000;
    const float f32 = 1.5f;
    const struct {
        uint8_t type;
        const void* variable;
        Bytes wire;
        double value;
    } cases[] = {
        {OBJ_INT8, &i8, {0xFF, 0x00, 0x00, 0x00}, -1},
        {OBJ_INT16, &i16, {0xFE, 0xFF, 0x00, 0x00}, -2},
        {OBJ_INT32, &i32, {0x90, 0xEE, 0xFE, 0xFF}, -70000},
        {OBJ_FLOAT32, &f32, {0x00, 0x00, 0xC0, 0x3F}, 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.type));
        frame::Request sent{7, frame::OP_SET_REQUEST, c.type, 0x1234, 0, {}};
        frame::WriteElement(c.type, c.variable, sent.element);
        EXPECT_EQ(Bytes(sent.element, sent.element + 4), c.wire);
        EXPECT_EQ(frame::ReadElement(c.type, sent.element), c.value);

        uint8_t wire[frame::kRequestLength];
        frame::BuildRequest(sent, wire);
        frame::Request parsed;
        ASSERT_TRUE(frame::ParseRequest(wire, &parsed));
        EXPECT_EQ(parsed, sent);
        wire[11] ^= 1;
        EXPECT_FALSE(frame::ParseRequest(wire, &parsed));

        uint8_t reply[frame::Length(1)];
        frame::Build(reply, 7, frame::OP_SET_REPLY | c.type, 0x1234, 0, sent.element, 1);
        EXPECT_EQ(frame::CheckReply(reply, sizeof reply, sent), frame::ReplyFault::None);
    }
}

TEST_F(ObjectAccessTest, DrainsStaleInputBeforeTheRequest) {
    // More than one 256-byte chunk of stale sync text, then a late but valid
    // reply to the same object with another value: only draining keeps it out.
    port.available = Bytes(600, 'x');
    const Bytes stale = ReplyFrame(kGetReplyInt32, 0x05, 0, {99});
    port.available.insert(port.available.end(), stale.begin(), stale.end());
    Reply(ReplyFrame(kGetReplyInt32, 0x05, 0, {7}));
    int32_t status = 0;
    ASSERT_TRUE(GetInt32(0x05, &status));
    EXPECT_EQ(status, 7);
}

// Each malformed reply fails the call for its reason, leaves the caller's slot
// alone and sets no back-off: the very next call goes to the port again.
TEST_F(ObjectAccessTest, EveryValidationFailureFailsWithoutBackOff) {
    const Bytes good = ReplyFrame(kGetReplyInt32, 0x02, 0, {1011});
    auto patched = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    Bytes badChecksum = patched(11, static_cast<uint8_t>(good[11] + 1));
    Bytes badLen = patched(1, 13);
    Bytes shortFrame = {0x02, 0x05, 0x01, 0x48, 0x02, 0x00, 0x00, 0x4F, 0x03};  // LEN 5, 9 bytes: under 13
    shortFrame[7] = frame::Checksum(shortFrame.data() + 2, 5);
    Bytes oddLength = good;  // 14 bytes with LEN 10: consistent, but not 13 + 4k
    oddLength.insert(oddLength.begin() + 11, 0x00);
    oddLength[1] = 10;
    oddLength[12] = frame::Checksum(oddLength.data() + 2, 10);

    const struct {
        const char* what;
        Bytes reply;
        const char* reason;
    } cases[] = {
        {"under 13 bytes", shortFrame, "malformed reply"},
        {"not 13 + 4k", oddLength, "malformed reply"},
        {"LEN beyond the bytes", badLen, "incomplete reply"},
        {"error nibble 0x80", ReplyFrame(0x80 | OBJ_INT32, 0x02, 0, {1011}), "malformed reply"},
        {"set reply to a get", ReplyFrame(kSetReplyInt32, 0x02, 0, {1011}), "reply to another request"},
        {"index", ReplyFrame(kGetReplyInt32, 0x03, 0, {1011}), "reply to another request"},
        {"sub-index", ReplyFrame(kGetReplyInt32, 0x02, 1, {1011}), "reply to another request"},
        {"checksum", badChecksum, "bad checksum"},
        {"ETX", patched(12, 0x04), "malformed reply"},
    };
    for (const auto& [what, reply, reason] : cases) {
        SCOPED_TRACE(what);
        const size_t writesBefore = port.writes.size();
        Reply(reply);
        int32_t value = -77;
        EXPECT_FALSE(GetInt32(0x02, &value));
        EXPECT_STREQ(FailureText(&access), reason);
        EXPECT_EQ(value, -77);
        EXPECT_EQ(access.FaultTime(), 0u);
        EXPECT_EQ(access.NoReplyTime(), 0u);
        EXPECT_EQ(port.writes.size(), writesBefore + 1);
    }
    // And the next good reply is taken at once.
    Reply(good);
    int32_t value = 0;
    EXPECT_TRUE(GetInt32(0x02, &value));
    EXPECT_EQ(value, 1011);

    // A get reply to a set is refused as well.
    Reply(ReplyFrame(kGetReplyInt32, 0x06, 0, {3}));
    int32_t command = 3;
    EXPECT_FALSE(access.SetObjectXXX(OBJ_INT32, 0x06, &command));
}

TEST_F(ObjectAccessTest, AssemblesSplitRepliesAndSkipsNoiseBeforeStx) {
    const Bytes frame = ReplyFrame(kGetReplyInt32, 0x1f, 0, {250});
    int32_t period = 0;

    // Split over three reads.
    Reply({Bytes(frame.begin(), frame.begin() + 1), Bytes(frame.begin() + 1, frame.begin() + 7),
           Bytes(frame.begin() + 7, frame.end())});
    ASSERT_TRUE(GetInt32(0x1f, &period));
    EXPECT_EQ(period, 250);

    // Noise in the same read as the frame.
    Bytes same = {'a', 'b', '\r', '\n'};
    same.insert(same.end(), frame.begin(), frame.end());
    Reply(same);
    period = 0;
    ASSERT_TRUE(GetInt32(0x1f, &period));
    EXPECT_EQ(period, 250);

    // Noise alone in earlier reads, then the frame split after its STX.
    Reply({Bytes{'1', '2', '3'}, Bytes{'4', '\n'}, Bytes{'z', frame[0], frame[1]},
           Bytes(frame.begin() + 2, frame.end())});
    period = 0;
    ASSERT_TRUE(GetInt32(0x1f, &period));
    EXPECT_EQ(period, 250);
}

TEST_F(ObjectAccessTest, LongRepliesCompleteOnTheirLastByteAndSixtyTwoElementsDoNotFit) {
    std::vector<uint32_t> values(61);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 3);

    // 31 elements: LEN 129, read as unsigned. Complete at once, not at the deadline.
    Reply(ReplyFrame(kGetReplyInt32, 0x28, 0, std::vector<uint32_t>(values.begin(), values.begin() + 31)));
    int32_t slots[64] = {};
    const uint32_t start = clock;
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT32, 0x28, 0, slots, 31));
    EXPECT_LT(clock - start, 5u);
    EXPECT_EQ(slots[30], 90);

    // 61 elements: 253 bytes, exactly the budget.
    Reply(ReplyFrame(kGetReplyInt32, 0x28, 0, values));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT32, 0x28, 0, slots, 61));
    EXPECT_EQ(slots[60], 180);

    // 62 elements: 257 bytes, over the budget.
    std::vector<uint32_t> more = values;
    more.push_back(7);
    Reply(ReplyFrame(kGetReplyInt32, 0x28, 0, more));
    slots[61] = -1;
    EXPECT_FALSE(access.GetObjectXXX(OBJ_INT32, 0x28, 0, slots, 62));
    EXPECT_EQ(slots[61], -1);
}

TEST_F(ObjectAccessTest, CountLimitsTheSlotsWritten) {
    const Bytes three = ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x37, 0,
                                   {FloatBits(1.0f), FloatBits(2.0f), FloatBits(3.0f)});
    float angles[5] = {-1, -1, -1, -1, -1};

    Reply(three);  // count smaller than the reply
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, angles, 2));
    EXPECT_FLOAT_EQ(angles[0], 1.0f);
    EXPECT_FLOAT_EQ(angles[1], 2.0f);
    EXPECT_FLOAT_EQ(angles[2], -1.0f);

    Reply(three);  // count larger: only three written, still a success
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, angles, 5));
    EXPECT_FLOAT_EQ(angles[2], 3.0f);
    EXPECT_FLOAT_EQ(angles[3], -1.0f);

    float untouched = -9.0f;
    Reply(three);  // count zero: nothing written, success
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, &untouched, 0));
    EXPECT_FLOAT_EQ(untouched, -9.0f);
    EXPECT_EQ(port.writes.back()[7], 0);
}

TEST_F(ObjectAccessTest, ConvertsByTheReplyTypeIntoTheCallersType) {
    int32_t slot = 0;
    // int16 -5 read as int8: -5, sign-extended in its slot.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_INT16, 0x10, 0, {0xFFFB}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT8, 0x10, 0, &slot, 1));
    EXPECT_EQ(slot, -5);
    // float 300.0 read as int8: 300 cut to 8 bits = 44.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(300.0f)}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT8, 0x10, 0, &slot, 1));
    EXPECT_EQ(slot, 44);
    // float 2.7 and -2.7 as int32: truncation toward zero.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(2.7f)}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, 2);
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(-2.7f)}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, -2);
    // int32 70000 as int16: low 16 bits, 4464.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_INT32, 0x10, 0, {70000}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT16, 0x10, 0, &slot, 1));
    EXPECT_EQ(slot, 4464);
    // int8 reply read from its first byte only.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_INT8, 0x10, 0, {0x123456FE}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, -2);
    // Unknown reply type code: the element reads as 0.
    Reply(ReplyFrame(frame::OP_GET_REPLY | 0x3, 0x10, 0, {1234}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, 0);
    // int32 as float.
    float f = 0;
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_INT32, 0x10, 0, {static_cast<uint32_t>(-123)}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x10, 0, &f, 1));
    EXPECT_FLOAT_EQ(f, -123.0f);
}

TEST_F(ObjectAccessTest, OutOfRangeAndNanFloatsConvertSoundly) {
    int32_t slot = 99;
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(std::numeric_limits<float>::quiet_NaN())}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, 0);
    // 2^32 + 5 cannot be held by a float exactly; 4294967296 (2^32) is: low 32 bits are 0.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(4294967296.0f)}));
    ASSERT_TRUE(GetInt32(0x10, &slot));
    EXPECT_EQ(slot, 0);
    // Huge and infinite values stop at the 64-bit ends and are then cut.
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(std::numeric_limits<float>::infinity())}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT16, 0x10, 0, &slot, 1));
    EXPECT_EQ(slot, -1);  // INT64_MAX cut to 16 bits is 0xFFFF
    Reply(ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(-1e30f)}));
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT8, 0x10, 0, &slot, 1));
    EXPECT_EQ(slot, 0);  // INT64_MIN cut to 8 bits is 0
}

TEST_F(ObjectAccessTest, SetStoresTheEchoedValueInTheCallersWidth) {
    // The module limits the value: the echo, not the value sent, ends up in the variable.
    Reply(ReplyFrame(kSetReplyInt32, 0x1f, 0, {60000}));
    int32_t period = 99999;
    ASSERT_TRUE(access.SetObjectXXX(OBJ_INT32, 0x1f, &period));
    EXPECT_EQ(period, 60000);

    // An int16 variable only gets its two bytes; the neighbour stays.
    struct {
        int16_t value;
        int16_t guard;
    } pair{5, 0x5555};
    Reply(ReplyFrame(frame::OP_SET_REPLY | OBJ_FLOAT32, 0x10, 0, {FloatBits(-7.9f)}));
    ASSERT_TRUE(access.SetObjectXXX(OBJ_INT16, 0x10, &pair.value));
    EXPECT_EQ(pair.value, -7);
    EXPECT_EQ(pair.guard, 0x5555);

    // A failed set leaves the variable as it was.
    Reply(ReplyFrame(0x80 | OBJ_INT32, 0x1f, 0, {1}));
    period = 1234;
    EXPECT_FALSE(access.SetObjectXXX(OBJ_INT32, 0x1f, &period));
    EXPECT_EQ(period, 1234);
}

// A module that streams on the same line can send a sync line right behind a
// reply, so that both arrive in one read: the frame ends where its length
// byte says and is taken at once; the line behind it is not part of it.
TEST_F(ObjectAccessTest, BytesBehindTheReplyInTheSameReadAreNotPartOfIt) {
    Bytes reply = ReplyFrame(kGetReplyInt32, 0x05, 0, {1});
    for (char c : std::string("time,300\r\n")) reply.push_back(uint8_t(c));
    Reply(reply);
    int32_t status = 42;
    const uint32_t start = clock;
    EXPECT_TRUE(GetInt32(0x05, &status));
    EXPECT_EQ(status, 1);
    EXPECT_LT(clock - start, 30u);  // no wait for the deadline
}

TEST_F(ObjectAccessTest, EndlessNoiseEndsAtTheDeadline) {
    // Bytes without an STX keep arriving faster than they are read: the call
    // still ends once the deadline has passed and counts as silence.
    struct NoisyPort : CFakePort {
        using CFakePort::CFakePort;
        uint32_t* clockRef = nullptr;
        int32_t GetInQueue() override {
            if (!writes.empty()) {
                available.assign(8, 'n');
                ++*clockRef;
            }
            return CFakePort::GetInQueue();
        }
    } noisy{&clock};
    noisy.clockRef = &clock;
    CObjectAccess flooded(&noisy, 30, 1, [this] { return clock; });
    int32_t value = 5;
    EXPECT_FALSE(flooded.GetObjectXXX(OBJ_INT32, 0x05, 0, &value, 1));
    EXPECT_EQ(value, 5);
    EXPECT_NE(flooded.NoReplyTime(), 0u);
}

TEST_F(ObjectAccessTest, UnknownCallerTypeIsRefusedWithoutTouchingThePort) {
    int32_t value = 1;
    EXPECT_FALSE(access.SetObjectXXX(3, 0x06, &value));
    EXPECT_FALSE(access.GetObjectXXX(0x0d, 0x06, 0, &value, 1));
    EXPECT_STREQ(FailureText(&access), "unknown type");
    EXPECT_TRUE(port.writes.empty());

    CObjectAccess unbound(nullptr, 30, 1, [this] { return clock; });
    EXPECT_FALSE(unbound.GetObjectXXX(OBJ_INT32, 0x06, 0, &value, 1));
    EXPECT_STREQ(FailureText(&unbound), "not connected");
    EXPECT_STREQ(FailureText(nullptr), "not connected");
}

TEST_F(ObjectAccessTest, SilenceBacksOffForOneSecond) {
    int32_t value = 0;
    const uint32_t start = clock;
    EXPECT_FALSE(GetInt32(0x05, &value));  // nothing comes back
    EXPECT_STREQ(FailureText(&access), "no reply");
    EXPECT_GE(clock - start, 30u);
    EXPECT_NE(access.NoReplyTime(), 0u);
    EXPECT_EQ(access.FaultTime(), 0u);
    const uint32_t mark = access.NoReplyTime();

    clock = mark + 1000;  // still within the back-off: no write at all
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_STREQ(FailureText(&access), "waiting after a failure");
    EXPECT_EQ(port.writes.size(), 1u);

    clock = mark + 1001;
    Reply(ReplyFrame(kGetReplyInt32, 0x05, 0, {3}));
    EXPECT_TRUE(GetInt32(0x05, &value));
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(access.NoReplyTime(), 0u);
    EXPECT_EQ(port.opens, 0);  // silence does not reopen the port
}

TEST_F(ObjectAccessTest, PortFaultBacksOffAndReopensAfterwards) {
    int32_t value = 0;
    port.failWrites = 1;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_STREQ(FailureText(&access), "port error");
    EXPECT_EQ(access.FaultTime(), clock);
    EXPECT_EQ(port.opens, 0);  // a get does not reopen at once
    EXPECT_FALSE(port.IsOpen());

    clock += 1000;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(port.opens, 0);

    clock += 1;
    Reply(ReplyFrame(kGetReplyInt32, 0x05, 0, {3}));
    EXPECT_TRUE(GetInt32(0x05, &value));
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(access.FaultTime(), 0u);
    EXPECT_EQ(value, 3);
}

TEST_F(ObjectAccessTest, FailedSetReopensAtOnce) {
    int32_t command = 5;
    port.failWrites = 1;
    EXPECT_FALSE(access.SetObjectXXX(OBJ_INT32, 0x06, &command));
    EXPECT_EQ(port.opens, 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_NE(access.FaultTime(), 0u);
    // Still backing off although the port is open again.
    EXPECT_FALSE(access.SetObjectXXX(OBJ_INT32, 0x06, &command));
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ObjectAccessTest, PortErrorWhileReceivingFaults) {
    port.queueErrorAfterWrite = true;
    int32_t value = 0;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_NE(access.FaultTime(), 0u);
    EXPECT_EQ(access.NoReplyTime(), 0u);
}

TEST_F(ObjectAccessTest, BackOffHoldsAcrossTheTickWrap) {
    int32_t value = 0;
    clock = 0xFFFFFF00u;  // 256 ms before the wrap
    port.failWrites = 1;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(access.FaultTime(), 0xFFFFFF00u);

    clock = 0x000002E8u;  // 1000 ms after the fault, across the wrap
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_TRUE(port.writes.empty());

    clock = 0x000002E9u;  // 1001 ms after
    EXPECT_FALSE(GetInt32(0x05, &value));  // reopened, written, silent
    EXPECT_EQ(port.opens, 1);
    EXPECT_EQ(port.writes.size(), 1u);
    const uint32_t silentMark = access.NoReplyTime();
    EXPECT_NE(silentMark, 0u);

    // A silence mark shortly before the wrap still holds the calls off
    // across it, and lets them through once 1000 ms have passed.
    clock = 0xFFFFFE00u;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(port.writes.size(), 2u);
    const uint32_t lateMark = access.NoReplyTime();
    ASSERT_GT(lateMark, 0xFFFFFC18u);  // within 1000 ms of the wrap
    clock = lateMark + 1000u;           // past the wrap
    ASSERT_LT(clock, lateMark);
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(port.writes.size(), 2u);
    clock = lateMark + 1001u;
    Reply(ReplyFrame(kGetReplyInt32, 0x05, 0, {4}));
    EXPECT_TRUE(GetInt32(0x05, &value));
    EXPECT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(value, 4);
}

TEST_F(ObjectAccessTest, FaultAtTickZeroIsStillMarked) {
    int32_t value = 0;
    clock = 0;
    port.failWrites = 1;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(access.FaultTime(), 1u);
    clock = 500;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(port.opens, 0);
}

TEST_F(ObjectAccessTest, SilenceDeadlineReachedAtTickZeroIsStillMarked) {
    int32_t value = 0;
    clock = static_cast<uint32_t>(-30);  // the deadline falls on tick 0
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(clock, 0u);
    EXPECT_EQ(access.NoReplyTime(), 1u);
    clock = 200;
    EXPECT_FALSE(GetInt32(0x05, &value));
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(ObjectAccessTest, ReentrantCallsFromTheLockingThreadDoNotDeadlock) {
    // The lock is recursive: a nested call from the same thread (a handler
    // re-entered while an exchange is running) must not deadlock.
    struct ReentrantPort : CFakePort {
        using CFakePort::CFakePort;
        CObjectAccess* access = nullptr;
        bool nested = false;
        bool nestedResult = true;
        int32_t GetInQueue() override {
            if (access && !nested) {
                nested = true;
                int32_t v = 0;
                nestedResult = access->GetObjectXXX(OBJ_INT32, 0x05, 0, &v, 1);
            }
            return CFakePort::GetInQueue();
        }
    } reentrant{&clock};
    CObjectAccess outer(&reentrant, 30, 1, [this] { return clock; });
    reentrant.access = &outer;
    int32_t v = 0;
    EXPECT_FALSE(outer.GetObjectXXX(OBJ_INT32, 0x05, 0, &v, 1));  // the fake never answers
    EXPECT_TRUE(reentrant.nested);
}

TEST(CallStatisticsTest, CountsAndScalesTheMean) {
    CallStatistics s;
    s.Add(1500.0);
    s.Add(2500.0);
    EXPECT_EQ(s.calls, 2u);
    EXPECT_DOUBLE_EQ(s.longestUs, 2500.0);
    s.Finalise();
    EXPECT_DOUBLE_EQ(s.totalUs, 2.0);  // mean 2000 us = 2 ms
    EXPECT_DOUBLE_EQ(s.longestUs, 2.5);
    EXPECT_EQ(s.unitScale, 1);
    s.Finalise();  // once only
    EXPECT_DOUBLE_EQ(s.totalUs, 2.0);

    CallStatistics big;  // at most two steps, even for a mean beyond 1000 s
    big.Add(5e12);
    big.Finalise();
    EXPECT_EQ(big.unitScale, 2);
    EXPECT_DOUBLE_EQ(big.totalUs, 5e6);

    CallStatistics none;
    none.Finalise();
    EXPECT_DOUBLE_EQ(none.totalUs, 0.0);
    EXPECT_EQ(none.unitScale, 0);
}

TEST(CallStatisticsTest, EveryCallIsRecordedInItsOperationsRecord) {
    uint32_t clock = 1;
    CFakePort port(&clock);
    CObjectAccess access(&port, 5, 1, [&] { return clock; });
    const uint32_t gets = GetObjectStatistics().calls;
    const uint32_t sets = SetObjectStatistics().calls;
    int32_t v = 0;
    access.GetObjectXXX(OBJ_INT32, 2, 0, &v, 1);  // silent
    access.GetObjectXXX(OBJ_INT32, 2, 0, &v, 1);  // backed off
    access.SetObjectXXX(OBJ_INT32, 6, &v);        // backed off
    EXPECT_EQ(GetObjectStatistics().calls, gets + 2);
    EXPECT_EQ(SetObjectStatistics().calls, sets + 1);
    EXPECT_STREQ(GetObjectStatistics().function, "CObjectAccess::GetObjectXXX");
    EXPECT_STREQ(SetObjectStatistics().function, "CObjectAccess::SetObjectXXX");
    EXPECT_NE(std::string(GetObjectStatistics().file).find("object_access"), std::string::npos);
}

}  // namespace
