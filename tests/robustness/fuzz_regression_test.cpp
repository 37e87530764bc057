// Inputs the fuzz targets found faults with, replayed as unit tests.
#include <gtest/gtest.h>

#ifdef TARVIK_HAVE_CLI
#include "cli/dump_file.h"

// A mnemonic that reads like a member name ("value", "index") is a string,
// not the member: the reader takes each member by its own key.
TEST(DumpReader, MemberNamesInsideStringsAreNotMembers) {
    const std::vector<DumpEntry> entries = {{"value", 0x44, "-1.5e-3"}, {"index", 0x10, "7"}};
    std::vector<DumpEntry> back;
    std::string error;
    ASSERT_TRUE(ParseDump(WriteDumpJson(entries), &back, &error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].mnemonic, "value");
    EXPECT_EQ(back[0].index, 0x44);
    EXPECT_EQ(back[0].value, "-1.5e-3");
    EXPECT_EQ(back[1].index, 0x10);
    EXPECT_EQ(back[1].value, "7");
}
#endif

#include "app/ini_file.h"

// A line ending in a stray carriage return (here the last one, without a
// line feed) is written back so that the file reads the same again: the
// line-end style does not flip to CR LF.
TEST(IniReader, StrayCarriageReturnDoesNotChangeTheLineEnds) {
    CIniFile file;
    file.LoadText("[\xfft\r\r");
    file.Set("Property", "fuzzKey", "value 1");
    CIniFile again;
    again.LoadText(file.Text());
    EXPECT_EQ(again.Text(), file.Text());
}

#include "device/sync_receiver.h"
#include "tests/device/fake_port.h"

#include <string>

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
