// tarvik-ui's start-up and exit: the end order of the main window, one
// version for --version and the About box, Qt's options passed through, and
// numbers in the C locale under a German LANG.
#include "app/app_ini.h"
#include "app/multimedia_timer.h"
#include "ui/shell/tarvik_ui_app.h"
#include "app/version.h"
#include "tests/support/child_process.h"
#include "ui/about/dlg_about.h"
#include "ui/toolkit/indicator_images.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QWidget>

#include <dirent.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstring>
#include <thread>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

// A window that notes, as it is destroyed, what still exists.
struct CNotingWindow : QWidget {
    CMultimediaTimer* timer = nullptr;
    std::unique_ptr<IndicatorImages>* images = nullptr;
    bool* timerRunning = nullptr;
    bool* imagesAlive = nullptr;
    ~CNotingWindow() override {
        *timerRunning = timer->TimerId() != -1;
        *imagesAlive = images->get() != nullptr;
    }
};

TEST(AppExit, WindowGoesBeforeTheTimerAndTheImages) {
    CMultimediaTimer timer;
    ASSERT_NE(timer.Start(), -1);
    auto images = std::make_unique<IndicatorImages>();
    bool timerRunning = false, imagesAlive = false;
    auto* w = new CNotingWindow;
    w->timer = &timer;
    w->images = &images;
    w->timerRunning = &timerRunning;
    w->imagesAlive = &imagesAlive;
    std::unique_ptr<QWidget> window(w);
    CTARVIK_UIApp::EndMainWindow(window, timer, images);
    EXPECT_TRUE(timerRunning);
    EXPECT_TRUE(imagesAlive);
    EXPECT_EQ(timer.TimerId(), -1);
    EXPECT_EQ(images, nullptr);
}

TEST(AppVersion, VersionOptionAndAboutBoxShowTheSameVersion) {
    const QString version = QString::fromLatin1(UiVersionString().c_str());
    EXPECT_EQ(CDlgAbout::VersionText(), "UI Version " + version);
    ProgramResult r = RunProgram({BinDir() + "/tarvik-ui", "--version"}, {}, 30);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "tarvik-ui " + version.toStdString() + "\n");
}

TEST(AppCommandLine, QtOptionsWithTheirValuesReachQt) {
    CTempDir dir;
    std::ofstream(dir.File("TARVIK_UI.ini")) << "[Property]\nchartWinShow=0\ncomPort=\"/dev/null-tarvik\"\n";
    ProgramResult r = RunProgram({BinDir() + "/tarvik-ui", "-style", "Fusion", "-reverse", "-qwindowgeometry",
                                  "600x400+10+10", "--exit-after", "200"},
                                 dir.Path(), 60);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("title: Brisknode Tarvik UI"), std::string::npos) << r.out << r.err;
    ProgramResult bad = RunProgram({BinDir() + "/tarvik-ui", "-bogus"}, dir.Path(), 30);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("Usage: tarvik-ui"), std::string::npos) << bad.err;
}

TEST(AppLocale, SettingsKeepThePointUnderAGermanLang) {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    const bool have = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    std::setlocale(LC_ALL, old.c_str());
    if (!have) GTEST_SKIP() << "locale de_DE.UTF-8 missing (scripts/setup makes it)";
    CTempDir dir;
    std::ofstream(dir.File("TARVIK_UI.ini"))
        << "[Property]\nchartWinShow=0\ncomPort=\"/dev/null-tarvik\"\nmap_lat=37.123456789\nmap_lon=2.5\n";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    ProgramResult r = RunProgram({BinDir() + "/tarvik-ui", "--exit-after", "200"}, dir.Path(), 60);
    unsetenv("LC_ALL");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string ini = ReadAll(dir.File("TARVIK_UI.ini"));
    EXPECT_NE(ini.find("map_lat=37.1235\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("map_lon=2.5\n"), std::string::npos) << ini;
}

TEST(AppLocale, NumericCategoryIsCAfterStartUp) {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 missing (scripts/setup makes it)";
    CTARVIK_UIApp::UseCNumbers();
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    const QString qt = QLocale().toString(1.5);
    std::setlocale(LC_ALL, old.c_str());
    QLocale::setDefault(QLocale::system());
    EXPECT_STREQ(text, "1.5");
    EXPECT_EQ(qt, "1.5");
}

// The state letter of a process from /proc ('Z' zombie), 0 when it is gone.
char ProcessState(pid_t pid, pid_t* parent = nullptr) {
    char buffer[512] = {};
    FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return 0;
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    const std::string text(buffer, n);
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 4 > text.size()) return 0;
    std::istringstream rest(text.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (parent) *parent = ppid;
    return state;
}

pid_t ChildOf(pid_t parent) {
    DIR* d = opendir("/proc");
    pid_t found = -1;
    while (dirent* e = d ? readdir(d) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        pid_t ppid = 0;
        if (pid > 0 && ProcessState(pid, &ppid) && ppid == parent) found = pid;
    }
    if (d) closedir(d);
    return found;
}

// The entries of a folder whose names start with prefix.
int EntriesStartingWith(const std::string& folder, const char* prefix) {
    int n = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) n += std::strncmp(e->d_name, prefix, std::strlen(prefix)) == 0;
        closedir(d);
    }
    return n;
}

// Waits until a process is gone (or a zombie); true when it went.
bool Ends(pid_t pid) {
    char state = 'R';
    for (int i = 0; i < 100 && state != 0 && state != 'Z'; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        state = ProcessState(pid);
    }
    if (state != 0 && state != 'Z') kill(pid, SIGKILL);
    return state == 0 || state == 'Z';
}

// tarvik-ui --simulate in its own folder with its own TMPDIR, ended by
// `sig` once its simulator runs; its wait status goes to *status.
void SimulateAndSignal(int sig, int* status) {
    const std::string ui = BinDir() + "/tarvik-ui";
    CTempDir dir;
    const std::string tmp = dir.File("tmp");
    ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
    std::ofstream(dir.File("TARVIK_UI.ini")) << "[Property]\nchartWinShow=0\n";
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        if (chdir(dir.Path().c_str()) == 0) execl(ui.c_str(), ui.c_str(), "--simulate", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    pid_t sim = -1;
    for (int i = 0; i < 200 && sim < 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sim = ChildOf(pid);
    }
    // Signalled once the link is there: the simulator is past its start.
    bool linked = false;
    for (int i = 0; i < 200 && !linked; ++i) {
        if (DIR* d = opendir(tmp.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strncmp(e->d_name, "tvk-", 4) == 0)
                    linked = access((tmp + "/" + e->d_name + "/ttySIM").c_str(), F_OK) == 0;
            closedir(d);
        }
        if (!linked) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(linked);
    kill(pid, sig);
    int waited = 0;
    for (int i = 0; i < 200 && waited == 0; ++i) {
        waited = waitpid(pid, status, WNOHANG);
        if (waited == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (waited == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, status, 0);
    }
    ASSERT_GT(sim, 0) << "tarvik-ui started no simulator";
    EXPECT_TRUE(Ends(sim)) << "the simulator outlived the program";
    EXPECT_EQ(EntriesStartingWith(tmp, "tvk-"), 0) << "the link folder was left behind";
}

TEST(AppSimulate, TheSimulatorEndsAndRemovesItsFolderWhenTheProgramIsKilled) {
    int status = 0;
    SimulateAndSignal(SIGKILL, &status);
}

TEST(AppSimulate, TermSignalEndsTheProgramAsClosingItDoes) {
    int status = -1;
    SimulateAndSignal(SIGTERM, &status);
    if (IsSkipped()) return;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
