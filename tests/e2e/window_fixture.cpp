#include "tests/e2e/window_fixture.h"

#include "app/app_ini.h"
#include "device/connection.h"

#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

void SimWindowTest::SetUp() {
    g_pAppIni = new CAppIni(m_dir.File("TARVIK_UI.ini"), false);
    g_pAppIni->saveOnExit = false;
}

void SimWindowTest::TearDown() {
    CloseWindows();
    host.reset();
    DisconnectDevice();
    delete g_pAppIni;
    g_pAppIni = nullptr;
    m_sim.Stop();
}

bool SimWindowTest::StartSim(const std::vector<std::string>& args, int32_t baud) {
    link = m_dir.File("link");
    log = m_dir.File("log");
    return StartSimAndConnect(m_sim, link, log, args, kTimeoutMs, baud, 15);
}

void SimWindowTest::MakeHost(int width, int height) {
    host = std::make_unique<QWidget>();
    host->resize(width, height);
}

bool SimWindowTest::ShowHost() {
    host->show();
    return QTest::qWaitForWindowExposed(host.get(), 10000);
}

std::string SimWindowTest::Log(size_t from) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string all = ReadAll(log);
    return from < all.size() ? all.substr(from) : std::string();
}

bool ConfigWindowTest::StartSim(const std::vector<std::string>& extra) {
    control = File("control");
    std::vector<std::string> args = {"--control", control};
    args.insert(args.end(), extra.begin(), extra.end());
    return SimWindowTest::StartSim(args);
}

void ConfigWindowTest::Open() {
    MakeHost(900, 900);
    dlg = std::make_unique<CDlgConfig>();
    ASSERT_TRUE(dlg->Create(host.get()));
    ASSERT_TRUE(ShowHost());
}

bool ConfigWindowTest::Control(const std::string& line) {
    const int fd = open(control.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return ok;
}
