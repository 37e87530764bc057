// The AHRS page against the module simulator: the text line in its two
// forms, the blank line on a failed read, no traffic while hidden, the
// command buttons and their enable rule, and "Reset View".
#include "device/connection.h"
#include "tests/e2e/child_process.h"
#include "tests/ui_toolkit/test_app.h"
#include "ui/views/dlg_main_ahrs.h"
#include "ui/views/opengl_ahrs.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTimeoutMs = 100;  // generous for a loaded machine

QApplication& App() { return TestApp("dlg_main_ahrs_test"); }

std::string SimPath() {
    const char* dir = std::getenv("TARVIK_BIN_DIR");
    return std::string(dir ? dir : ".") + "/tarvik-sim";
}

// One simulator with its request log and control FIFO in a temporary folder;
// stopped with SIGTERM.
class Sim {
public:
    bool Start(const std::vector<std::string>& extra) {
        link = m_dir.File("link");
        log = m_dir.File("log");
        control = m_dir.File("control");
        std::vector<std::string> args = {"--log", log, "--control", control};
        args.insert(args.end(), extra.begin(), extra.end());
        return m_process.Start(link, args, 15);
    }
    // Writes one line to the control FIFO; fails rather than blocks when the
    // simulator does not read it.
    bool Send(const std::string& line) {
        const int fd = open(control.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) return false;
        const std::string text = line + "\n";
        const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        close(fd);
        return ok;
    }
    void Stop() { m_process.Stop(); }
    std::string link, log, control;

private:
    CTempDir m_dir;
    CSimProcess m_process;
};

class AhrsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        host = std::make_unique<QWidget>();
        host->resize(800, 800);
        page = new CDlgMainAhrs();
        ASSERT_TRUE(page->Create(host.get()));
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get(), 10000));
    }
    void TearDown() override {
        DisconnectDevice();
        delete page;
        host.reset();
    }
    static bool SimBuilt() { return access(SimPath().c_str(), X_OK) == 0; }
    bool StartAndConnect(const std::vector<std::string>& extra) {
        return sim.Start(extra) && ConnectDevice(sim.link.c_str(), 115200, kTimeoutMs, 1, nullptr);
    }
    QString Line() const { return page->GetDlgItemText(1115); }
    bool Enabled(int id) const { return page->GetDlgItem(id)->isEnabled(); }
    // Waits until the simulator has written its log (its lines are flushed at once).
    std::string LogAfterSettle() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return ReadAll(sim.log);
    }

    std::unique_ptr<QWidget> host;
    CDlgMainAhrs* page = nullptr;
    Sim sim;
};

// Skipped when the simulator is not built; once it is, it must start and answer.
#define REQUIRE_SIM(...)                                                   \
    if (!SimBuilt()) GTEST_SKIP() << "tarvik-sim is not built";            \
    ASSERT_TRUE(StartAndConnect({__VA_ARGS__})) << "tarvik-sim did not start or answer"

TEST(AhrsLineFormat, TwoFormsNanAndCut) {
    const float angles[3] = {1.2f, -0.5f, 179.9f};
    const float zero[3] = {0, 0, 0};
    EXPECT_EQ(CDlgMainAhrs::FormatLine(angles, zero).toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]");
    const float pos[3] = {0.012f, 0, -0.003f};
    EXPECT_EQ(CDlgMainAhrs::FormatLine(angles, pos).toStdString(),
              "Euler angle = 1.2, -0.5, 179.9 [deg]; Position = 0.012, 0.000, -0.003 [m]");
    const float negZero[3] = {-0.0f, 0, 0};  // compares equal to 0
    EXPECT_EQ(CDlgMainAhrs::FormatLine(angles, negZero).toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]");
    const float nanPos[3] = {0, NAN, 0};
    EXPECT_NE(CDlgMainAhrs::FormatLine(angles, nanPos).indexOf("Position = "), -1);
    const float huge[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    EXPECT_EQ(CDlgMainAhrs::FormatLine(huge, huge).size(), 255);
}

TEST_F(AhrsPageTest, TemplateAndViewPlacement) {
    const DialogTemplate& t = CDlgMainAhrs::Template166();
    EXPECT_EQ(t.id, 166);
    EXPECT_EQ(t.cx, 350);
    EXPECT_EQ(t.cy, 370);
    EXPECT_TRUE(t.child);
    ASSERT_EQ(t.controlCount, 6);
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(1038))->text(), "Reset angle (ra)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(1039))->text(), "Reset position (rp)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(1040))->text(), "Set zero angle (za)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(1101))->text(), "Reset View");
    ASSERT_TRUE(page->HasViewWindow());
    EXPECT_EQ(page->GetDlgItem(1003), page->View());
    EXPECT_EQ(page->View()->geometry(), page->DuToPx(0, 42, 350, 328));
    EXPECT_EQ(page->View()->objectName(), "View");
    EXPECT_EQ(page->View()->m_camera.azimuth, 220.0);
    EXPECT_EQ(page->View()->m_camera.elevation, 45.0);
    EXPECT_EQ(page->View()->m_camera.eye[1], -1.0);
    EXPECT_TRUE(page->HasTimer(1000));
}

TEST_F(AhrsPageTest, DisconnectedLineStaysEmptyAndButtonsStayEnabled) {
    page->OnTimer(1000);
    page->OnTimer(1000);
    EXPECT_TRUE(Line().isEmpty());
    EXPECT_TRUE(Enabled(1038));
    EXPECT_TRUE(Enabled(1039));
    EXPECT_TRUE(Enabled(1040));
    page->OnCommand(1038);  // nothing happens without a connection
}

TEST_F(AhrsPageTest, LineInBothFormsAndPoseHandedToView) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->OnTimer(1000);
    EXPECT_EQ(Line().toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]");
    EXPECT_NEAR(page->View()->m_roll, 1.2, 1e-5);
    EXPECT_NEAR(page->View()->m_pitch, -0.5, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 179.9, 1e-4);
    const std::string log = LogAfterSettle();
    EXPECT_NE(log.find("get 0x37 0 3 float32"), std::string::npos) << log;
    EXPECT_NE(log.find("get 0x3a 0 3 float32"), std::string::npos) << log;

    ASSERT_TRUE(sim.Send("position 0.012 0 -0.003"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    page->OnTimer(1000);
    EXPECT_EQ(Line().toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]; Position = 0.012, 0.000, -0.003 [m]");
    EXPECT_NEAR(page->View()->m_position[0], 0.012, 1e-6);
    EXPECT_NEAR(page->View()->m_position[2], -0.003, 1e-6);

    ASSERT_TRUE(sim.Send("euler 10 20 30"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    page->OnTimer(1000);
    EXPECT_NEAR(page->View()->m_roll, 10, 1e-5);
    EXPECT_NEAR(page->View()->m_pitch, 20, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 30, 1e-5);
}

TEST_F(AhrsPageTest, FailedReadBlanksLineAndKeepsPose) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->OnTimer(1000);
    ASSERT_FALSE(Line().isEmpty());
    sim.Stop();
    page->OnTimer(1000);
    EXPECT_TRUE(Line().isEmpty());
    EXPECT_NEAR(page->View()->m_roll, 1.2, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 179.9, 1e-4);
}

TEST_F(AhrsPageTest, HiddenPageMakesNoTrafficButFollowsTheConnection) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->hide();
    const std::string before = LogAfterSettle();
    for (int i = 0; i < 5; ++i) page->OnTimer(1000);
    EXPECT_EQ(LogAfterSettle(), before);
    EXPECT_TRUE(Line().isEmpty());
    // First change seen: connected, buttons stay enabled.
    EXPECT_TRUE(Enabled(1038));
    DisconnectDevice();
    page->OnTimer(1000);
    EXPECT_FALSE(Enabled(1038));
    EXPECT_FALSE(Enabled(1039));
    EXPECT_FALSE(Enabled(1040));
    EXPECT_TRUE(Enabled(1101));
    ASSERT_TRUE(ConnectDevice(sim.link.c_str(), 115200, kTimeoutMs, 1, nullptr));
    page->OnTimer(1000);
    EXPECT_TRUE(Enabled(1038));
    EXPECT_TRUE(Enabled(1040));
}

TEST_F(AhrsPageTest, CommandButtonsReachTheModule) {
    REQUIRE_SIM("--hold-euler", "0,0,0", "--hold-position", "0,0,0");
    page->OnCommand(1038);
    page->OnCommand(1039);
    page->OnCommand(1040);
    const std::string log = LogAfterSettle();
    const size_t a = log.find("set 0x06 7 int32");
    const size_t b = log.find("set 0x06 8 int32");
    const size_t c = log.find("set 0x06 5 int32");
    ASSERT_NE(a, std::string::npos) << log;
    ASSERT_NE(b, std::string::npos) << log;
    ASSERT_NE(c, std::string::npos) << log;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST_F(AhrsPageTest, ResetViewKeepsTheLookAtPoint) {
    COpenGlAhrs* v = page->View();
    v->m_camera.azimuth = 17;
    v->m_camera.elevation = -80;
    v->m_camera.eye[1] = -2.7;
    v->m_camera.lookAt[0] = -0.4;
    v->m_camera.lookAt[2] = 0.3;
    page->OnCommand(1101);
    EXPECT_EQ(v->m_camera.azimuth, 220.0);
    EXPECT_EQ(v->m_camera.elevation, 45.0);
    EXPECT_EQ(v->m_camera.eye[0], 0.0);
    EXPECT_EQ(v->m_camera.eye[1], -1.0);
    EXPECT_EQ(v->m_camera.eye[2], 0.0);
    EXPECT_EQ(v->m_camera.lookAt[0], -0.4);
    EXPECT_EQ(v->m_camera.lookAt[2], 0.3);
}

} // namespace
