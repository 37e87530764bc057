// Which command-line entries belong to Qt and are passed through.
#include "app/command_line.h"

#include <gtest/gtest.h>

TEST(ToolkitOptions, ValuesFlagsAndOthers) {
    const char* argv[] = {"tarvik-ui", "-style", "Fusion", "--platform=xcb", "-reverse", "-bogus", "--simulate", "-display"};
    const int argc = 8;
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 1), 2);  // -style Fusion
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 3), 1);  // --platform=xcb
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 4), 1);  // -reverse
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 5), 0);  // not Qt's
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 6), 0);  // ours
    EXPECT_EQ(ToolkitOptionLength(argc, argv, 7), 0);  // a value option without its value
}
