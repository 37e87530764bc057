// tarvik-cli's session options: --record and --udp are global options of the
// commands that talk to the module; export wants --csv.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::optional<CliOptions> Parse(std::vector<const char*> args, std::string* error) {
    args.insert(args.begin(), "tarvik-cli");
    return ParseCliOptions(static_cast<int>(args.size()), args.data(), error);
}

TEST(SessionCliOptions, RecordAndUdpStandBeforeOrAfterTheCommand) {
    std::string error;
    auto o = Parse({"--record", "s.jsonl", "watch", "0x37", "--udp", "127.0.0.1:9870"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->record, "s.jsonl");
    EXPECT_EQ(o->udp, "127.0.0.1:9870");
    EXPECT_FALSE(Parse({"--record", "s.jsonl", "ports"}, &error));
    EXPECT_EQ(error, "--record needs a command that talks to the module, not ports");
}

TEST(SessionCliOptions, ExportWantsACsvFile) {
    std::string error;
    auto o = Parse({"export", "s.jsonl", "--csv", "out.csv"}, &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->args, std::vector<std::string>{"s.jsonl"});
    EXPECT_EQ(o->csv, "out.csv");
    EXPECT_FALSE(Parse({"export", "s.jsonl"}, &error));
    EXPECT_EQ(error, "export needs --csv OUT");
}

}  // namespace
