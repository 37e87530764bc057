// The AHRS page against the module simulator: the text line in its two
// forms, the blank line on a failed read, no traffic while hidden, the
// command buttons and their enable rule, and "Reset View".
#include "device/connection.h"
#include "tests/support/window_fixture.h"
#include "tests/ui/views/ahrs_page_test.h"
#include "ui/views/dlg_main_ahrs.h"
#include "ui/views/opengl_ahrs.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cfloat>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

namespace {


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

TEST_F(AhrsPageTest, ButtonsAndViewPlacement) {
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(CDlgMainAhrs::IDC_RESET_ANGLE))->text(), "Reset angle (ra)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(CDlgMainAhrs::IDC_RESET_POSITION))->text(), "Reset position (rp)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(CDlgMainAhrs::IDC_SET_ZERO_ANGLE))->text(), "Set zero angle (za)");
    EXPECT_EQ(qobject_cast<QPushButton*>(page->GetDlgItem(CDlgMainAhrs::IDC_RESET_VIEW))->text(), "Reset View");
    ASSERT_TRUE(page->HasViewWindow());
    EXPECT_EQ(page->GetDlgItem(CDlgMainAhrs::IDC_VIEW), page->View());
    EXPECT_EQ(page->View()->geometry(), page->DuToPx(0, 42, 350, 328));
    EXPECT_EQ(page->View()->objectName(), "View");
    EXPECT_EQ(page->View()->m_camera.azimuth, 220.0);
    EXPECT_EQ(page->View()->m_camera.elevation, 45.0);
    EXPECT_EQ(page->View()->m_camera.eye[1], -1.0);
    EXPECT_TRUE(page->HasTimer(CDlgMainAhrs::TIMER_POLL));
}

TEST_F(AhrsPageTest, DisconnectedLineStaysEmptyAndButtonsStayEnabled) {
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Line().isEmpty());
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_POSITION));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_SET_ZERO_ANGLE));
    page->OnCommand(CDlgMainAhrs::IDC_RESET_ANGLE);  // nothing happens without a connection
}

TEST_F(AhrsPageTest, LineInBothFormsAndPoseHandedToView) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_EQ(Line().toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]");
    EXPECT_NEAR(page->View()->m_roll, 1.2, 1e-5);
    EXPECT_NEAR(page->View()->m_pitch, -0.5, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 179.9, 1e-4);
    const std::string log = Log();
    EXPECT_NE(log.find("get 0x37 0 3 float32"), std::string::npos) << log;
    EXPECT_NE(log.find("get 0x3a 0 3 float32"), std::string::npos) << log;

    ASSERT_TRUE(Control("position 0.012 0 -0.003"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_EQ(Line().toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]; Position = 0.012, 0.000, -0.003 [m]");
    EXPECT_NEAR(page->View()->m_position[0], 0.012, 1e-6);
    EXPECT_NEAR(page->View()->m_position[2], -0.003, 1e-6);

    ASSERT_TRUE(Control("euler 10 20 30"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_NEAR(page->View()->m_roll, 10, 1e-5);
    EXPECT_NEAR(page->View()->m_pitch, 20, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 30, 1e-5);
}

TEST_F(AhrsPageTest, FailedReadBlanksLineAndKeepsPose) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    ASSERT_FALSE(Line().isEmpty());
    StopSim();
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Line().isEmpty());
    EXPECT_NEAR(page->View()->m_roll, 1.2, 1e-5);
    EXPECT_NEAR(page->View()->m_yaw, 179.9, 1e-4);
}

TEST_F(AhrsPageTest, HiddenPageMakesNoTrafficButFollowsTheConnection) {
    REQUIRE_SIM("--hold-euler", "1.2,-0.5,179.9", "--hold-position", "0,0,0");
    page->hide();
    const std::string before = Log();
    for (int i = 0; i < 5; ++i) page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_EQ(Log(), before);
    EXPECT_TRUE(Line().isEmpty());
    // First change seen: connected, buttons stay enabled.
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    DisconnectDevice();
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_RESET_POSITION));
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_SET_ZERO_ANGLE));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_VIEW));
    ASSERT_TRUE(ConnectDevice(link.c_str(), 115200, kTimeoutMs, 1, nullptr));
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_SET_ZERO_ANGLE));
}

TEST_F(AhrsPageTest, CommandButtonsReachTheModule) {
    REQUIRE_SIM("--hold-euler", "0,0,0", "--hold-position", "0,0,0");
    page->OnCommand(CDlgMainAhrs::IDC_RESET_ANGLE);
    page->OnCommand(CDlgMainAhrs::IDC_RESET_POSITION);
    page->OnCommand(CDlgMainAhrs::IDC_SET_ZERO_ANGLE);
    const std::string log = Log();
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
    page->OnCommand(CDlgMainAhrs::IDC_RESET_VIEW);
    EXPECT_EQ(v->m_camera.azimuth, 220.0);
    EXPECT_EQ(v->m_camera.elevation, 45.0);
    EXPECT_EQ(v->m_camera.eye[0], 0.0);
    EXPECT_EQ(v->m_camera.eye[1], -1.0);
    EXPECT_EQ(v->m_camera.eye[2], 0.0);
    EXPECT_EQ(v->m_camera.lookAt[0], -0.4);
    EXPECT_EQ(v->m_camera.lookAt[2], 0.3);
}

} // namespace
