// CSyncReceiver's skip count and reopen rule on a scripted port and a test clock.
#include "device/sync_receiver.h"
#include "tests/support/fake_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

// A start throws away what is queued; the next nine steps throw their chunk
// away, with or without data; the tenth shows it.
TEST(SyncReceiver, StartSkipsTheFirstTenSteps) {
    uint32_t unused = 0;
    CFakePort port(&unused);
    CSyncReceiver rx;
    CSyncReceiver::Chunk c;
    port.available = {'o', 'l', 'd'};
    EXPECT_FALSE(rx.Receive(&port, false, &c));
    EXPECT_TRUE(port.available.empty());
    EXPECT_EQ(rx.ChunksToSkip(), 9);
    port.available = {'x'};
    EXPECT_FALSE(rx.Receive(&port, true, &c));
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(rx.Receive(&port, true, &c));
    EXPECT_EQ(rx.ChunksToSkip(), 0);
    port.available = {'y'};
    ASSERT_TRUE(rx.Receive(&port, true, &c));
    EXPECT_EQ(c.length, 1);
    EXPECT_EQ(c.bytes[0], 'y');
}

// A hung-up port is reopened at once, then at most once a second.
TEST(SyncReceiver, ReopensAHungUpPortAtMostOnceASecond) {
    uint32_t unused = 0;
    CFakePort port(&unused);
    std::chrono::milliseconds now{0};
    CSyncReceiver rx([&] { return std::chrono::steady_clock::time_point(now); });
    CSyncReceiver::Chunk c;
    const auto step = [&](int ms) {
        now = std::chrono::milliseconds(ms);
        port.open = false;  // still hung up
        rx.Receive(&port, true, &c);
        return port.opens;
    };
    EXPECT_EQ(step(0), 1);
    EXPECT_EQ(step(500), 1);
    EXPECT_EQ(step(999), 1);
    EXPECT_EQ(step(1000), 2);
    EXPECT_EQ(step(1990), 2);
    EXPECT_EQ(step(2000), 3);
}

// An LF at the start of a chunk is a line break of its own unless the chunk
// shown before ended in CR: "abc" then "\nd" keeps the line break in the text.
TEST(SyncReceive, LeadingLfAfterAChunkWithoutCrIsShown) {
    uint32_t clock = 0;
    CFakePort port(&clock);
    CSyncReceiver rx;
    CSyncReceiver::Chunk c;
    rx.Receive(&port, false, &c);
    for (int i = 0; i < 9; ++i) rx.Receive(&port, true, &c);
    port.available = {'a', 'b', 'c'};
    ASSERT_TRUE(rx.Receive(&port, true, &c));
    port.available = {'\n', 'd'};
    ASSERT_TRUE(rx.Receive(&port, true, &c));
    EXPECT_EQ(std::string(c.text, size_t(c.textLength)), "\nd");
}
