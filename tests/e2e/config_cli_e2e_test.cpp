// tarvik-cli diff and restore --only against tarvik-sim; the simulator's
// request log shows what went over the line.
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

class ConfigCliE2e : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sim.Start(dir.File("tty"), {"--no-pace", "--log", dir.File("requests.log")})) GTEST_SKIP() << sim.Error();
    }
    ProgramResult Cli(std::vector<std::string> args) {
        std::vector<std::string> argv = {BinDir() + "/tarvik-cli", "--port", dir.File("tty"), "--baud", "115200",
                                         "--timeout", "300"};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, dir.Path());
    }
    // The "set" lines of the request log after the first `from` lines.
    std::vector<std::string> SetsAfter(size_t from) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::vector<std::string> lines = Lines(ReadAll(dir.File("requests.log"))), sets;
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].rfind("set ", 0) == 0) sets.push_back(lines[i]);
        return sets;
    }
    size_t LogLength() { return Lines(ReadAll(dir.File("requests.log"))).size(); }
    // A dump of the module's configuration in dump.ini.
    void Dump() {
        ProgramResult dump = Cli({"dump"});
        ASSERT_EQ(dump.status, 0) << dump.err;
        std::ofstream(dir.File("dump.ini")) << dump.out;
    }
    CTempDir dir;
    CSimProcess sim;
};

TEST_F(ConfigCliE2e, DiffExitsZeroWhenAllAgreeAndThreeAfterAChange) {
    Dump();
    const size_t mark = LogLength();
    ProgramResult same = Cli({"diff", dir.File("dump.ini")});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "21 objects, 0 differ\n");

    ASSERT_EQ(Cli({"set", "sp", "250"}).status, 0);
    const size_t afterSet = LogLength();
    ProgramResult changed = Cli({"diff", dir.File("dump.ini")});
    EXPECT_EQ(changed.status, 3) << changed.err;
    EXPECT_EQ(changed.out, "sp 0x1f module 250 file 100\n21 objects, 1 differ\n");
    // diff writes nothing.
    EXPECT_EQ(SetsAfter(afterSet), std::vector<std::string>{});
    EXPECT_EQ(SetsAfter(mark).size(), 1u);
}

TEST_F(ConfigCliE2e, RestoreOnlyWritesTheNamedObjectsAndTheFlashCommand) {
    Dump();
    ASSERT_EQ(Cli({"set", "sp", "250"}).status, 0);
    ASSERT_EQ(Cli({"set", "dt", "2.5"}).status, 0);
    ASSERT_EQ(Cli({"set", "gt", "5"}).status, 0);
    const size_t mark = LogLength();
    ProgramResult r = Cli({"restore", dir.File("dump.ini"), "--only", "sp,dt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "restored 2 objects, 0 differ\n");
    EXPECT_EQ(SetsAfter(mark),
              (std::vector<std::string>{"set 0x14 1 float32", "set 0x1f 100 int32", "set 0x06 1 int32"}));
    EXPECT_EQ(Cli({"get", "gt"}).out, "5\n");
}

TEST_F(ConfigCliE2e, AnOnlyNameThatIsUnknownOrNotInTheFileIsAUsageError) {
    std::ofstream(dir.File("sp.ini")) << "[objects]\nsp = 0x1f, 100\n";
    const size_t mark = LogLength();
    ProgramResult unknown = Cli({"restore", dir.File("sp.ini"), "--only", "sp,zz"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(Lines(unknown.err)[0], "tarvik-cli: --only: unknown object zz");
    ProgramResult missing = Cli({"restore", dir.File("sp.ini"), "--only", "dt"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(Lines(missing.err)[0], "tarvik-cli: --only: dt is not in " + dir.File("sp.ini"));
    // A bad file is refused by diff with its line, before any connect.
    std::ofstream(dir.File("bad.ini")) << "[objects]\nsp = 0x1f, fast\n";
    ProgramResult bad = Cli({"diff", dir.File("bad.ini")});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "tarvik-cli: " + dir.File("bad.ini") + ": line 2: sp (0x1f) takes int32, not \"fast\"\n");
    EXPECT_EQ(LogLength(), mark);
}

TEST(ConfigCliHelp, RestoreAndDiffHelpNameTheirOptions) {
    CTempDir dir;
    ProgramResult restore = RunProgram({BinDir() + "/tarvik-cli", "restore", "--help"}, dir.Path());
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("--only MNEMONIC[,MNEMONIC...]"), std::string::npos) << restore.out;
    ProgramResult diff = RunProgram({BinDir() + "/tarvik-cli", "diff", "--help"}, dir.Path());
    EXPECT_EQ(diff.status, 0) << diff.err;
    EXPECT_EQ(diff.out.rfind("usage: tarvik-cli diff FILE", 0), 0u) << diff.out;
}

}  // namespace
