// The dump reader on the inputs the fuzz target found faults with.
#include "app/config_file.h"

#include <gtest/gtest.h>

// A mnemonic that reads like a member name ("value", "index") is a string,
// not the member: the reader takes each member by its own key.
TEST(DumpReader, MemberNamesInsideStringsAreNotMembers) {
    const std::vector<DumpEntry> entries = {{"value", 0x44, "-0.0015"}, {"index", 0x10, "7"}};
    std::vector<DumpEntry> back;
    std::string error;
    ASSERT_TRUE(ParseDump(WriteDumpJson(entries), &back, &error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].mnemonic, "value");
    EXPECT_EQ(back[0].index, 0x44);
    EXPECT_EQ(back[0].value, "-0.0015");
    EXPECT_EQ(back[1].index, 0x10);
    EXPECT_EQ(back[1].value, "7");
}

// A number too large for a double is refused with a reason, not thrown out
// of the reader.
TEST(DumpReader, NumberOverflowIsARefusalWithAReason) {
    std::vector<DumpEntry> back;
    std::string error;
    EXPECT_FALSE(ParseDump("[2e999999999, {\"mnemonic\": \"a\"}]", &back, &error));
    EXPECT_NE(error.find("number overflow"), std::string::npos) << error;
}
