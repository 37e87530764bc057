// What the access object and the Sync receiver tell an observer: each
// exchange with its values, written value and echo, or failure reason; the
// sync text as it is received; nothing once the observer is removed.
#include "device/object_access.h"
#include "device/sync_receiver.h"
#include "tests/support/fake_port.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Seen {
    bool isSet;
    uint16_t index;
    uint8_t subIndex;
    uint8_t type;
    AccessFailure failure;
    std::vector<double> values;
    double written, echo;
};

class Recorder : public IExchangeObserver {
public:
    void OnExchange(const ExchangeReport& r) override {
        seen.push_back({r.isSet, r.index, r.subIndex, r.type, r.failure,
                        std::vector<double>(r.values, r.values + r.valueCount), r.written, r.echo});
    }
    void OnSyncText(const char* bytes, int32_t length) override { text.append(bytes, static_cast<size_t>(length)); }
    std::vector<Seen> seen;
    std::string text;
};

class ExchangeObserverTest : public ::testing::Test {
protected:
    uint32_t clock = 5000;
    CFakePort port{&clock};
    CObjectAccess access{&port, 30, 1, [this] { return clock; }};
    Recorder recorder;
};

TEST_F(ExchangeObserverTest, AGetReportsTheValuesStoredForTheCaller) {
    access.AddObserver(&recorder);
    port.replies.push_back({ReplyFrame(frame::OP_GET_REPLY | OBJ_FLOAT32, 0x37, 1,
                                       {FloatBits(1.5f), FloatBits(-0.5f), FloatBits(179.75f)})});
    float out[2] = {};
    ASSERT_TRUE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 1, out, 2));
    ASSERT_EQ(recorder.seen.size(), 1u);
    const Seen& s = recorder.seen[0];
    EXPECT_FALSE(s.isSet);
    EXPECT_EQ(s.index, 0x37);
    EXPECT_EQ(s.subIndex, 1);
    EXPECT_EQ(s.type, OBJ_FLOAT32);
    EXPECT_EQ(s.failure, AccessFailure::None);
    EXPECT_EQ(s.values, (std::vector<double>{1.5, -0.5}));  // the two the caller asked for
}

TEST_F(ExchangeObserverTest, ASetReportsTheWrittenValueAndTheEcho) {
    access.AddObserver(&recorder);
    port.replies.push_back({ReplyFrame(frame::OP_SET_REPLY | OBJ_INT32, 0x1f, 0, {60000})});
    int32_t period = 70000;
    ASSERT_TRUE(access.SetObjectXXX(OBJ_INT32, 0x1f, &period));
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_TRUE(recorder.seen[0].isSet);
    EXPECT_EQ(recorder.seen[0].written, 70000);
    EXPECT_EQ(recorder.seen[0].echo, 60000);
}

TEST_F(ExchangeObserverTest, AFailedExchangeReportsItsReasonAndNoValues) {
    access.AddObserver(&recorder);
    float out[3] = {};
    EXPECT_FALSE(access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, out, 3));  // nothing scripted: no reply
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].failure, AccessFailure::NoReply);
    EXPECT_STREQ(FailureText(recorder.seen[0].failure), "no reply");
    EXPECT_TRUE(recorder.seen[0].values.empty());
}

TEST_F(ExchangeObserverTest, ARemovedObserverHearsNothingMore) {
    access.AddObserver(&recorder);
    access.RemoveObserver(&recorder);
    port.replies.push_back({ReplyFrame(frame::OP_GET_REPLY | OBJ_INT32, 0x02, 0, {1011})});
    int32_t product = 0;
    ASSERT_TRUE(access.GetObjectXXX(OBJ_INT32, 0x02, 0, &product, 1));
    EXPECT_TRUE(recorder.seen.empty());
}

// The observer gets the bytes of each chunk that is shown, as received
// (a CR LF pair split over two chunks included); skipped chunks are not.
TEST(SyncReceiverObserver, GetsTheReceivedTextOfEachShownChunk) {
    uint32_t unused = 0;
    CFakePort port(&unused);
    CSyncReceiver rx;
    Recorder recorder;
    rx.SetObserver(&recorder);
    CSyncReceiver::Chunk c;
    rx.Receive(&port, false, &c);
    for (int i = 0; i < 9; ++i) {
        port.available = {'s'};
        rx.Receive(&port, true, &c);
    }
    port.available = {'a', 'b', '\r'};
    ASSERT_TRUE(rx.Receive(&port, true, &c));
    port.available = {'\n', 'c'};
    ASSERT_TRUE(rx.Receive(&port, true, &c));
    EXPECT_EQ(recorder.text, "ab\r\nc");
}

}  // namespace
