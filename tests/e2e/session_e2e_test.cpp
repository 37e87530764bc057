// A session end to end: tarvik-cli records a watch against tarvik-sim, a
// second simulator replays the file, and a get there answers the recorded
// value where the model would answer its own.
#include "app/session_file.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

// tarvik-cli on the link at 115200 bit/s, in the test's folder.
ProgramResult Cli(const CTempDir& dir, const std::string& link, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {BinDir() + "/tarvik-cli", "--port", link, "--baud", "115200", "--timeout", "300"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, dir.Path());
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SessionE2e, ARecordedWatchIsAnsweredAgainByAReplayingSimulator) {
    CTempDir dir;
    const auto cli = [&](const std::string& link, const std::vector<std::string>& args) {
        return Cli(dir, link, args);
    };
    {
        CSimProcess sim;
        ASSERT_TRUE(sim.Start(dir.File("tty"), {"--no-pace", "--hold-euler", "12.5,-3.25,170"})) << sim.Error();
        const ProgramResult r = cli(dir.File("tty"), {"--record", "s.jsonl", "watch", "0x37", "--count", "5"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    Session session;
    std::string error;
    ASSERT_TRUE(ReadSessionFile(dir.File("s.jsonl"), &session, &error)) << error;
    EXPECT_EQ(session.header.product, 1011);
    EXPECT_FALSE(session.header.configuration.empty());
    ASSERT_EQ(session.records.size(), 5u);
    EXPECT_EQ(session.records[4].values, (std::vector<double>{12.5, -3.25, 170}));

    CSimProcess replay;
    ASSERT_TRUE(replay.Start(dir.File("tty2"), {"--no-pace", "--replay", dir.File("s.jsonl")})) << replay.Error();
    const ProgramResult get = cli(dir.File("tty2"), {"get", "0x37"});
    ASSERT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, "12.5 -3.25 170\n");
}

// The sync text a recording caught comes out of the replaying simulator again.
TEST(SessionE2e, RecordedSyncTextIsSentAgainByAReplayingSimulator) {
    CTempDir dir;
    const auto cli = [&](const std::string& link, const std::vector<std::string>& args) {
        return Cli(dir, link, args);
    };
    {
        CSimProcess sim;
        ASSERT_TRUE(sim.Start(dir.File("tty"), {"--no-pace"})) << sim.Error();
        for (std::vector<std::string> set : {std::vector<std::string>{"set", "so", "1"}, {"set", "sd", "0x41"},
                                             {"set", "sp", "100"}})
            ASSERT_EQ(cli(dir.File("tty"), set).status, 0);
        const ProgramResult r =
            cli(dir.File("tty"), {"--record", "s.jsonl", "stream", "--seconds", "2", "--out", "a.txt"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // A whole line from the middle of what was recorded.
    const std::string recorded = ReadText(dir.File("a.txt"));
    const size_t start = recorded.find("\r\n", recorded.size() / 2);
    ASSERT_NE(start, std::string::npos) << recorded;
    const size_t end = recorded.find("\r\n", start + 2);
    ASSERT_NE(end, std::string::npos) << recorded;
    const std::string line = recorded.substr(start + 2, end - start - 2);
    ASSERT_FALSE(line.empty());

    CSimProcess replay;
    ASSERT_TRUE(replay.Start(dir.File("tty2"), {"--no-pace", "--replay", dir.File("s.jsonl")})) << replay.Error();
    const ProgramResult r = cli(dir.File("tty2"), {"stream", "--seconds", "3", "--out", "b.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadText(dir.File("b.txt")).find(line + "\r\n"), std::string::npos) << line;
}

}  // namespace
