// The AHRS page against a scripted port (no simulator needed): the exact
// requests of one poll, the text line, a failed position read after a good
// angle read, the command frames, and the enable rule from its first change.
#include "device/connection.h"
#include "device/frame.h"
#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "tests/support/fake_port.h"
#include "tests/ui/views/ahrs_page_test.h"
#include "ui/views/dlg_main_ahrs.h"
#include "ui/views/opengl_ahrs.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr uint8_t kGetFloat = frame::OP_GET_REPLY | OBJ_FLOAT32;
constexpr uint8_t kSetInt = frame::OP_SET_REPLY | OBJ_INT32;

class AhrsPageFake : public AhrsPageTest {
protected:
    void SetUp() override {
        AhrsPageTest::SetUp();
        clock = 5000;
        port = std::make_unique<CFakePort>(&clock);
        access = std::make_unique<CObjectAccess>(port.get(), 30, 1, [this] { return clock; });
    }
    void CloseWindows() override {
        g_pObjectAccess = nullptr;
        AhrsPageTest::CloseWindows();
    }
    void Connect() { g_pObjectAccess = access.get(); }
    void Disconnect() { g_pObjectAccess = nullptr; }
    void ReplyPose(float r, float p, float y, float px, float py, float pz) {
        port->replies.push_back({ReplyFrame(kGetFloat, od::OBJ_EULER, 0, {FloatBits(r), FloatBits(p), FloatBits(y)})});
        port->replies.push_back(
            {ReplyFrame(kGetFloat, od::OBJ_POSITION, 0, {FloatBits(px), FloatBits(py), FloatBits(pz)})});
    }
    uint32_t clock = 0;
    std::unique_ptr<CFakePort> port;
    std::unique_ptr<CObjectAccess> access;
};

TEST_F(AhrsPageFake, OnePollReadsAnglesThenPositionAndWritesTheLine) {
    Connect();
    ReplyPose(1.2f, -0.5f, 179.9f, 0, 0, 0);
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    ASSERT_EQ(port->writes.size(), 2u);
    // Get requests: float32, sub-index 0, count 3.
    EXPECT_EQ(port->writes[0][3], frame::OP_GET_REQUEST | OBJ_FLOAT32);
    EXPECT_EQ(port->writes[0][4], od::OBJ_EULER);
    EXPECT_EQ(port->writes[0][6], 0);
    EXPECT_EQ(port->writes[0][7], 3);
    EXPECT_EQ(port->writes[1][4], od::OBJ_POSITION);
    EXPECT_EQ(port->writes[1][7], 3);
    EXPECT_EQ(page->GetDlgItemText(CDlgMainAhrs::IDC_TEXT).toStdString(), "Euler angle = 1.2, -0.5, 179.9 [deg]");

    ReplyPose(10, 20, 30, 0.012f, 0, -0.003f);
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_EQ(page->GetDlgItemText(CDlgMainAhrs::IDC_TEXT).toStdString(),
              "Euler angle = 10.0, 20.0, 30.0 [deg]; Position = 0.012, 0.000, -0.003 [m]");
    EXPECT_NEAR(page->View()->m_roll, 10, 1e-6);
    EXPECT_NEAR(page->View()->m_pitch, 20, 1e-6);
    EXPECT_NEAR(page->View()->m_yaw, 30, 1e-6);
    EXPECT_NEAR(page->View()->m_position[0], 0.012, 1e-7);
    EXPECT_NEAR(page->View()->m_position[2], -0.003, 1e-7);
}

TEST_F(AhrsPageFake, PositionReadFailingBlanksLineAndKeepsPose) {
    Connect();
    ReplyPose(10, 20, 30, 0, 0, 0);
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    ASSERT_FALSE(page->GetDlgItemText(CDlgMainAhrs::IDC_TEXT).isEmpty());
    // Angles answer, position does not.
    port->replies.push_back({ReplyFrame(kGetFloat, od::OBJ_EULER, 0, {FloatBits(1), FloatBits(2), FloatBits(3)})});
    port->replies.push_back({});
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(page->GetDlgItemText(CDlgMainAhrs::IDC_TEXT).isEmpty());
    EXPECT_NEAR(page->View()->m_roll, 10, 1e-6);
    EXPECT_NEAR(page->View()->m_yaw, 30, 1e-6);
}

TEST_F(AhrsPageFake, HiddenPageSendsNothing) {
    Connect();
    page->hide();
    for (int i = 0; i < 5; ++i) page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(port->writes.empty());
    page->show();
    ReplyPose(0, 0, 0, 0, 0, 0);
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_EQ(port->writes.size(), 2u);
}

TEST_F(AhrsPageFake, CommandButtonsWriteObject6AsInt32) {
    Connect();
    const int buttons[3] = {CDlgMainAhrs::IDC_RESET_ANGLE, CDlgMainAhrs::IDC_RESET_POSITION,
                           CDlgMainAhrs::IDC_SET_ZERO_ANGLE};
    const int32_t values[3] = {7, 8, 5};
    for (int i = 0; i < 3; ++i) {
        port->replies.push_back({ReplyFrame(kSetInt, od::OBJ_COMMAND, 0, {static_cast<uint32_t>(values[i])})});
        page->OnCommand(buttons[i]);
    }
    ASSERT_EQ(port->writes.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const Bytes& w = port->writes[i];
        EXPECT_EQ(w[3], frame::OP_SET_REQUEST | OBJ_INT32);
        EXPECT_EQ(w[4], od::OBJ_COMMAND);
        EXPECT_EQ(w[7], values[i]);
    }
    // Without a connection nothing is sent.
    Disconnect();
    page->OnCommand(CDlgMainAhrs::IDC_RESET_ANGLE);
    EXPECT_EQ(port->writes.size(), 3u);
}

TEST_F(AhrsPageFake, ButtonsFollowTheConnectionFromItsFirstChange) {
    page->hide();  // the rule runs while hidden too
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));  // never connected: no change seen
    Connect();
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    Disconnect();
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_RESET_POSITION));
    EXPECT_FALSE(Enabled(CDlgMainAhrs::IDC_SET_ZERO_ANGLE));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_VIEW));
    Connect();
    page->OnTimer(CDlgMainAhrs::TIMER_POLL);
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_ANGLE));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_RESET_POSITION));
    EXPECT_TRUE(Enabled(CDlgMainAhrs::IDC_SET_ZERO_ANGLE));
}

TEST_F(AhrsPageFake, DestroyingTheWindowStopsThePollAndHidesTheView) {
    ASSERT_TRUE(page->HasTimer(CDlgMainAhrs::TIMER_POLL));
    ASSERT_TRUE(page->HasViewWindow());
    EXPECT_TRUE(page->View()->isVisible());
    page->DestroyWindow();
    EXPECT_FALSE(page->HasTimer(CDlgMainAhrs::TIMER_POLL));
    EXPECT_FALSE(page->View()->isVisible());
    // The view object stays until the page is deleted (in TearDown).
    EXPECT_NE(page->View(), nullptr);
}

} // namespace
