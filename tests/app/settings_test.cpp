// Settings record and INI file: defaults, key order, quoting, number formats,
// keeping what other programs put into the file, CRLF files.
#include "app/app_ini.h"
#include "app/ini_file.h"
#include "app/multimedia_timer.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> KeysInOrder(const std::string& text) {
    std::vector<std::string> keys;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
    }
    return keys;
}

const std::vector<std::string> kKeys = {
    "admin", "mainTabSel", "mainSx", "mainSy", "chartSx", "chartSy", "chartDx", "chartDy", "mapSx", "mapSy",
    "mapDx", "mapDy", "bplotWinShow", "bplotSx", "bplotSy", "bplotDx", "bplotDy", "bplotProbe", "bplotDelay",
    "configTabSel", "startSync", "startFft", "startVibr", "comPort", "comBaudrate", "deviceID", "trTimeout",
    "gpsPort", "gpsBaudrate", "chartWinShow", "mapWinShow", "precision", "maf_window_size", "map_lat", "map_lon",
    "map_lvl", "host_name", "host_port", "rtcp", "user", "password", "sync_file"};

}  // namespace

TEST(Settings, NoFileGivesDefaultsAndExitWritesAll42KeysInOrder) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    {
        CAppIni ini(path);
        EXPECT_EQ(ini.chartDx, 600);
        EXPECT_EQ(ini.bplotProbe, 5);
        EXPECT_EQ(ini.startFft, 1);
        EXPECT_STREQ(ini.comPort, "/dev/ttyUSB0");
        EXPECT_EQ(ini.comBaudrate, 115200);
        EXPECT_EQ(ini.trTimeout, 30);
        EXPECT_EQ(ini.deviceID, 1);
        EXPECT_EQ(ini.host_port, 2101);
        EXPECT_STREQ(ini.rtcp, "SUWN-RTCM23");
        EXPECT_DOUBLE_EQ(ini.map_lat, 0.0);
        // Nothing is written before exit.
        EXPECT_NE(::access(path.c_str(), F_OK), 0);
    }
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("[Property]\n", 0), 0u);
    EXPECT_EQ(KeysInOrder(text), kKeys);
    EXPECT_NE(text.find("comPort=\"/dev/ttyUSB0\"\n"), std::string::npos);
    EXPECT_NE(text.find("map_lat=0\n"), std::string::npos);
}

TEST(Settings, ValuesSurviveARestart) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    {
        CAppIni ini(path);
        ini.comBaudrate = 0;  // automatic detection
        ini.mainSx = -120;
        ini.map_lat = 37.123456789;
        std::snprintf(ini.sync_file, sizeof ini.sync_file, "  spaced name.csv  ");
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("map_lat=37.1235\n"), std::string::npos);
    EXPECT_NE(text.find("sync_file=\"  spaced name.csv  \"\n"), std::string::npos);
    CAppIni again(path);
    again.saveOnExit = false;
    EXPECT_EQ(again.comBaudrate, 0);
    EXPECT_EQ(again.mainSx, -120);
    EXPECT_DOUBLE_EQ(again.map_lat, 37.1235);
    EXPECT_STREQ(again.sync_file, "  spaced name.csv  ");
}

TEST(Settings, UnknownKeysCommentsAndOtherSectionsAreKept) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    WriteFile(path,
              "; written by hand\r\n[Other]\r\nkeep=me\r\n\r\n[property]\r\nmystery=42\r\ntrTimeout=55\r\n"
              "comPort=  \"/dev/ttyACM3\"  \r\nprecision=abc\r\nmap_lon=xyz\r\n");
    {
        CAppIni ini(path);
        EXPECT_EQ(ini.trTimeout, 55);                // section names compare without case
        EXPECT_STREQ(ini.comPort, "/dev/ttyACM3");   // blanks around quotes and the quotes go
        EXPECT_EQ(ini.precision, 0);                 // not a number: 0
        EXPECT_DOUBLE_EQ(ini.map_lon, 0.0);
        ini.trTimeout = 40;
    }
    const std::string text = ReadAll(path);
    EXPECT_EQ(text.rfind("; written by hand\r\n[Other]\r\nkeep=me\r\n\r\n[property]\r\nmystery=42\r\ntrTimeout=40\r\n", 0), 0u)
        << text;
    // New keys are appended to the section with the file's own line ends.
    EXPECT_NE(text.find("\r\nsync_file=\"./records.csv\"\r\n"), std::string::npos);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
}

TEST(Settings, ReadOnlyFolderFailsSilently) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    WriteFile(path, "[Property]\nadmin=3\n");
    ::chmod(dir.Path().c_str(), 0555);
    {
        CAppIni ini(path);
        ini.admin = 9;
    }
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadAll(path), "[Property]\nadmin=3\n");
}

TEST(Settings, UnwritablePathKeepsOldContent) {
    CTempDir dir;
    // The file's folder does not exist: the save fails, nothing is thrown.
    const std::string path = dir.File("missing/TARVIK_UI.ini");
    {
        CAppIni ini(path);
        ini.admin = 1;
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST(Settings, NumbersUseThePointUnderAGermanLocale) {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 missing (scripts/setup makes it)";
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    WriteFile(path, "[Property]\nmap_lon=2.5\n");
    {
        CAppIni ini(path);
        EXPECT_DOUBLE_EQ(ini.map_lon, 2.5);
        ini.map_lat = 37.123456789;
    }
    std::setlocale(LC_ALL, old.c_str());
    EXPECT_NE(ReadAll(path).find("map_lat=37.1235\n"), std::string::npos) << ReadAll(path);
}

TEST(Settings, TextWithALineBreakIsRefusedAndTheOldValueKept) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    WriteFile(path, "[Property]\ncomPort=\"/dev/ttyUSB3\"\n");
    {
        CAppIni ini(path);
        EXPECT_FALSE(CAppIni::SetText(ini.comPort, "/dev/x\n[Evil]\nadmin=1"));
        EXPECT_STREQ(ini.comPort, "/dev/ttyUSB3");
        EXPECT_TRUE(CAppIni::SetText(ini.sync_file, "/data/run 1.csv"));
        // Assigned directly, past the check: the save still leaves the key alone.
        std::snprintf(ini.comPort, sizeof ini.comPort, "/dev/x\r\n[Evil]");
    }
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("comPort=\"/dev/ttyUSB3\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Evil"), std::string::npos) << text;
    EXPECT_NE(text.find("sync_file=\"/data/run 1.csv\"\n"), std::string::npos) << text;
}

TEST(Settings, TransactionTimeOutIsLimitedTo10To10000) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    const std::pair<const char*, int> cases[] = {{"0", 10}, {"-5", 10}, {"99999", 10000}, {"abc", 30}, {"250", 250}};
    for (const auto& [text, expected] : cases) {
        WriteFile(path, std::string("[Property]\ntrTimeout=") + text + "\n");
        CAppIni ini(path);
        ini.saveOnExit = false;
        EXPECT_EQ(ini.trTimeout, expected) << text;
    }
}

TEST(Settings, ReadOnlyFileKeepsItsContent) {
    CTempDir dir;
    const std::string path = dir.File("TARVIK_UI.ini");
    WriteFile(path, "[Property]\nadmin=3\n");
    ::chmod(path.c_str(), 0444);
    {
        CAppIni ini(path);
        ini.admin = 9;
    }
    EXPECT_EQ(ReadAll(path), "[Property]\nadmin=3\n");
}

TEST(Settings, ASymbolicLinkIsWrittenThroughToItsTarget) {
    CTempDir dir;
    const std::string target = dir.File("real.ini");
    const std::string link = dir.File("TARVIK_UI.ini");
    WriteFile(target, "[Property]\nadmin=3\n");
    ::chmod(target.c_str(), 0600);
    ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
    {
        CAppIni ini(link);
        ini.admin = 9;
    }
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(ReadAll(target).find("admin=9\n"), std::string::npos);
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(IniFile, PrivateProfileRules) {
    CIniFile f;
    f.LoadText("[A]\nx = 12  \nq=\"quoted\"\nsingle='s'\nhalf=\"open\n[B]\nx=7\n");
    EXPECT_EQ(f.Get("a", "X").value(), "12");
    EXPECT_EQ(f.Get("A", "q").value(), "quoted");
    EXPECT_EQ(f.Get("A", "single").value(), "s");
    EXPECT_EQ(f.Get("A", "half").value(), "\"open");
    EXPECT_EQ(f.Get("B", "x").value(), "7");
    EXPECT_FALSE(f.Get("C", "x").has_value());
    EXPECT_FALSE(f.Get("A", "y").has_value());
    f.Set("A", "y", "1");
    f.Set("C", "z", "2");
    EXPECT_EQ(f.Text(), "[A]\nx = 12  \nq=\"quoted\"\nsingle='s'\nhalf=\"open\ny=1\n[B]\nx=7\n\n[C]\nz=2\n");
    EXPECT_EQ(CIniFile::ParseInt(" -17abc"), -17);
    EXPECT_EQ(CIniFile::ParseInt("+5"), 5);
    EXPECT_EQ(CIniFile::ParseInt("abc"), 0);
    EXPECT_EQ(CIniFile::ParseInt("99999999999999999999"), -1);  // 32 bits, as the Windows call
}

TEST(MultimediaTimer, TicksArriveAndStop) {
    struct Counter : CMultimediaTimer {
        std::atomic<int> calls{0};
        void OnTick(int32_t, uint32_t) override { ++calls; }
    } timer;
    EXPECT_EQ(timer.TimerId(), -1);
    EXPECT_EQ(timer.Period(), 1u);
    EXPECT_GT(timer.Start(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    timer.Kill();
    EXPECT_EQ(timer.TimerId(), -1);
    const int after = timer.calls.load();
    EXPECT_GT(after, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(timer.calls.load(), after);
    timer.Kill();  // harmless twice
}

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
