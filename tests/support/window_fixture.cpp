#include "tests/support/window_fixture.h"

#include <cstdlib>

#include "app/app_ini.h"
#include "device/connection.h"

#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <thread>
#include <unistd.h>

void WindowTest::SetUp() {
    // What the windows keep of their own (backups, sessions) stays in the test's folder.
    setenv("XDG_DATA_HOME", m_dir.File("data").c_str(), 1);
    g_pAppIni = new CAppIni(m_dir.File("TARVIK_UI.ini"), false);
    g_pAppIni->saveOnExit = false;
}

void WindowTest::TearDown() {
    CloseWindows();
    host.reset();
    DisconnectDevice();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    m_sim.Stop();
}

bool WindowTest::LaunchSim(const std::vector<std::string>& args) {
    link = m_dir.File("link");
    log = m_dir.File("log");
    control = m_dir.File("control");
    std::vector<std::string> all = {"--log", log, "--control", control};
    all.insert(all.end(), args.begin(), args.end());
    return m_sim.Start(link, all, 15);
}

bool WindowTest::StartSim(const std::vector<std::string>& args, int32_t baud) {
    return LaunchSim(args) && ConnectDevice(link.c_str(), baud, kTimeoutMs, 1, nullptr);
}

bool WindowTest::Control(const std::string& line) {
    const int fd = open(control.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return ok;
}

void WindowTest::LoadSettings(const std::string& lines) {
    // The old record saves itself when it goes, so it goes first.
    delete g_pAppIni;
    g_pAppIni = nullptr;
    std::ofstream(File("TARVIK_UI.ini")) << "[Property]\n" << lines;
    g_pAppIni = new CAppIni(File("TARVIK_UI.ini"));
}

void WindowTest::MakeHost(int width, int height) {
    host = std::make_unique<QWidget>();
    host->resize(width, height);
}

bool WindowTest::ShowHost() {
    host->show();
    return QTest::qWaitForWindowExposed(host.get(), 10000);
}

std::string WindowTest::Log(size_t from) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string all = ReadAll(log);
    return from < all.size() ? all.substr(from) : std::string();
}
