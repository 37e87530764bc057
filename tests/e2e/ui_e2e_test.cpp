// The real tarvik-ui program: the command line, and a --simulate run under
// the test's display that connects to the simulator it starts, exits cleanly
// and leaves the stored port as it was.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

std::string Program() { return BinDir() + "/tarvik-ui"; }

TEST(ShellCommandLine, HelpVersionAndUnknownOptions) {
    CTempDir dir;
    ProgramResult help = RunProgram({Program(), "--help"}, dir.Path(), 30);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--simulate"), std::string::npos);
    ProgramResult version = RunProgram({Program(), "--version"}, dir.Path(), 30);
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("tarvik-ui"), std::string::npos);
    ProgramResult bad = RunProgram({Program(), "--frobnicate"}, dir.Path(), 30);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--frobnicate"), std::string::npos);
    // None of them opens a window, so none writes the settings file.
    EXPECT_TRUE(ReadAll(dir.File("TARVIK_UI.ini")).empty());
}

TEST(ShellSimulate, ConnectsToTheSimulatorAndKeepsTheStoredPort) {
    CTempDir dir;
    std::ofstream(dir.File("TARVIK_UI.ini")) << "[Property]\ncomPort=\"/dev/ttyKEEP7\"\ncomBaudrate=115200\n"
                                                "chartWinShow=0\n";
    ProgramResult r = RunProgram({Program(), "--simulate", "--exit-after", "4000"}, dir.Path(), 60);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("title: Brisknode Tarvik UI - "), std::string::npos) << r.out << r.err;
    EXPECT_NE(r.out.find("ttySIM (115200 bps)"), std::string::npos) << r.out;
    const std::string ini = ReadAll(dir.File("TARVIK_UI.ini"));
    EXPECT_NE(ini.find("comPort=\"/dev/ttyKEEP7\""), std::string::npos) << ini;
    EXPECT_NE(ini.find("comBaudrate=115200"), std::string::npos) << ini;
    EXPECT_NE(ini.find("sync_file="), std::string::npos);
}

}  // namespace
