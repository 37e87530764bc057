// Configuration files without a module: the file checks and their messages,
// the compare rows, and the backups' names, folder, pruning and atomic writes.
#include "app/config_backup.h"
#include "app/config_compare.h"
#include "app/config_file.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Check(const std::string& text) {
    std::vector<ConfigEntry> entries = {ConfigEntry{}};
    std::string error;
    EXPECT_FALSE(CheckConfigText("cfg.ini", text, &entries, &error));
    EXPECT_TRUE(entries.empty()) << "a bad file gives no entry at all";
    return error;
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

// 2026-12-11 08:53:07 UTC.
constexpr std::time_t kNow = 1796979187;

class BackupFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_tz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadTz) setenv("TZ", m_tz.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    CTempDir dir;

private:
    std::string m_tz;
    bool m_hadTz = false;
};

TEST(ConfigFileChecks, AFileThatCannotBeReadIsNamed) {
    CTempDir dir;
    std::vector<ConfigEntry> entries;
    std::string error;
    EXPECT_FALSE(ReadConfigFile(dir.File("missing.ini"), &entries, &error));
    EXPECT_EQ(error, dir.File("missing.ini") + ": cannot be read (No such file or directory)");
}

TEST(ConfigFileChecks, ALineThatIsNoEntryIsNotADump) {
    EXPECT_EQ(Check("[objects]\nsp = 0x1f, 100\nhello\n"),
              "cfg.ini: line 3: not a dump: expected \"mnemonic = index, value\"");
}

TEST(ConfigFileChecks, AnUnknownObjectIsRefusedWithItsLine) {
    EXPECT_EQ(Check("[objects]\nsp = 0x1f, 100\nzz = 0x99, 1\n"), "cfg.ini: line 3: unknown object 0x99");
}

TEST(ConfigFileChecks, AReadOnlyObjectIsRefused) {
    EXPECT_EQ(Check("[objects]\n\n = 0x02, 1011\nsp = 0x1f, 100\n"),
              "cfg.ini: line 3: object 0x02 (product identifier) is read-only");
}

TEST(ConfigFileChecks, AValueOfTheWrongTypeIsRefused) {
    EXPECT_EQ(Check("[objects]\nsp = 0x1f, abc\n"), "cfg.ini: line 2: sp (0x1f) takes int32, not \"abc\"");
}

TEST(ConfigFileChecks, AJsonEntryIsNamedByTheLineItStartsOn) {
    EXPECT_EQ(Check("[\n  {\"mnemonic\": \"sp\", \"index\": \"0x1f\", \"value\": 100},\n"
                    "  {\"mnemonic\": \"dt\",\n   \"index\": \"0x14\", \"value\": \"x\"}\n]\n"),
              "cfg.ini: line 3: dt (0x14) takes float32, not \"x\"");
}

TEST(ConfigFileChecks, AnIntegerObjectTakesAWholeNumberInAnySpelling) {
    std::vector<ConfigEntry> entries;
    std::string error;
    ASSERT_TRUE(CheckConfigText("cfg.json", "[{\"mnemonic\": \"sp\", \"index\": \"0x1f\", \"value\": 1e2}]", &entries,
                                &error))
        << error;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].slot, 100u);
}

TEST(ConfigCompare, ValuesCompareAsNumbers) {
    std::vector<ConfigEntry> file;
    std::string error;
    // The same number in three spellings: the file's, get's and another.
    ASSERT_TRUE(CheckConfigText("cfg.ini", "[objects]\nsp = 0x1f, 1e2\ngt = 0x25, 5\n", &file, &error)) << error;
    const std::vector<DumpEntry> module = {{"sp", 0x1f, "100.0"}, {"gt", 0x25, "2"}};
    const std::vector<CompareRow> rows = CompareConfiguration(file, module);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].differs);
    EXPECT_TRUE(rows[1].differs);
    EXPECT_EQ(rows[1].moduleValue, "2");
    EXPECT_EQ(rows[1].fileValue, "5");
    EXPECT_EQ(rows[1].label, "Gyro. magnitude th. (gt)");
}

TEST(ConfigCompare, AValueBeyondThePagesLimitsIsShownLimitedWithANote) {
    std::vector<ConfigEntry> file;
    std::string error;
    ASSERT_TRUE(CheckConfigText("cfg.ini", "[objects]\ndt = 0x14, 500\ngs = 0x0f, 5\n", &file, &error)) << error;
    const std::vector<CompareRow> rows = CompareConfiguration(file, {{"dt", 0x14, "360"}, {"gs", 0x0f, "0"}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows[0].limited);
    EXPECT_EQ(rows[0].writeValue, "360");
    EXPECT_EQ(rows[0].note, "limited to 0 ~ 360 (file: 500)");
    EXPECT_FALSE(rows[0].differs) << "the limited value is what the module holds";
    // The Filter page writes the full-scale code as it is: no limits.
    EXPECT_FALSE(rows[1].limited);
    EXPECT_EQ(rows[1].writeValue, "5");
}

TEST_F(BackupFiles, ABackupIsNamedByTheLocalTimeAndHoldsTheText) {
    const BackupResult r = SaveBackupText(dir.File("b"), "[objects]\nsp = 0x1f, 100\n", kNow);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.path, dir.File("b/config-20261211-085307.ini"));
    EXPECT_EQ(ReadAll(r.path), "[objects]\nsp = 0x1f, 100\n");
}

TEST_F(BackupFiles, ATakenNameGetsASuffix) {
    SaveBackupText(dir.Path(), "1", kNow);
    EXPECT_EQ(SaveBackupText(dir.Path(), "2", kNow).path, dir.File("config-20261211-085307-2.ini"));
    EXPECT_EQ(SaveBackupText(dir.Path(), "3", kNow).path, dir.File("config-20261211-085307-3.ini"));
    EXPECT_EQ(ReadAll(dir.File("config-20261211-085307.ini")), "1");
}

TEST_F(BackupFiles, OnlyTheNewestHundredBackupsAreKept) {
    // 100 older backups (the second of them with a suffix) and two other files.
    for (int i = 0; i < 99; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "config-20250101-%06d.ini", i);
        std::ofstream(dir.File(name)) << i;
    }
    std::ofstream(dir.File("config-20250101-000000-2.ini")) << "suffix";
    std::ofstream(dir.File("config-notes.ini")) << "kept";
    std::ofstream(dir.File("other.ini")) << "kept";
    ASSERT_TRUE(SaveBackupText(dir.Path(), "new", kNow).ok);
    const std::set<std::string> names = Names(dir.Path());
    EXPECT_EQ(names.size(), 102u);
    EXPECT_FALSE(names.count("config-20250101-000000.ini"));
    EXPECT_TRUE(names.count("config-20250101-000000-2.ini"));
    EXPECT_TRUE(names.count("config-20261211-085307.ini"));
    EXPECT_TRUE(names.count("config-notes.ini"));
    EXPECT_TRUE(names.count("other.ini"));
}

TEST_F(BackupFiles, TheWriteLeavesNoTemporaryFile) {
    ASSERT_TRUE(SaveBackupText(dir.Path(), "x", kNow).ok);
    EXPECT_EQ(Names(dir.Path()), std::set<std::string>{"config-20261211-085307.ini"});
    // A folder that cannot be made: said, and nothing left behind.
    std::ofstream(dir.File("file")) << "";
    const BackupResult r = SaveBackupText(dir.File("file/backups"), "x", kNow);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.rfind("cannot write " + dir.File("file/backups") + " (", 0), 0u) << r.error;
}

TEST(ConfigBackup, TheFolderFollowsXdgDataHome) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    const std::string oldXdg = xdg ? xdg : "", oldHome = home ? home : "";
    setenv("HOME", "/home/u", 1);
    setenv("XDG_DATA_HOME", "/data/x", 1);
    EXPECT_EQ(BackupFolder(), "/data/x/tarvik-ui/backups");
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(BackupFolder(), "/home/u/.local/share/tarvik-ui/backups");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(BackupFolder(), "/home/u/.local/share/tarvik-ui/backups");
    if (xdg) setenv("XDG_DATA_HOME", oldXdg.c_str(), 1);
    if (home) setenv("HOME", oldHome.c_str(), 1);
    else unsetenv("HOME");
}

TEST(ConfigBackup, WithoutAConnectionNothingIsWritten) {
    CTempDir dir;
    const BackupResult r = WriteConfigBackup([] { return kNow; }, dir.File("b"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "no connection");
    EXPECT_TRUE(Names(dir.Path()).empty());
}

}  // namespace
