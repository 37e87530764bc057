// The 3D view without a GL context (it is never shown): a wheel event
// without vertical movement (a sideways tilt, a horizontal swipe) does not
// zoom while a vertical one does; the failure box carries the application's
// title.
#include "tests/support/window_fixture.h"
#include "ui/views/opengl_wnd.h"

#include "ui/toolkit/message_box.h"

#include <QApplication>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

bool SendWheel(COpenGlWnd& view, QPoint pixels, QPoint angle) {
    QWheelEvent ev(QPointF(10, 10), QPointF(10, 10), pixels, angle, Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &ev);
    return ev.isAccepted();
}

class FailingView : public COpenGlWnd {
public:
    using COpenGlWnd::ShowFailure;
};

}  // namespace

using ViewWheel = WindowTest;

TEST_F(ViewWheel, OnlyVerticalMovementZooms) {
    COpenGlWnd view;
    const double start = view.m_camera.eye[1];
    EXPECT_FALSE(SendWheel(view, QPoint(), QPoint(120, 0)));      // tilted sideways
    EXPECT_FALSE(SendWheel(view, QPoint(-30, 0), QPoint(-30, 0))); // horizontal swipe
    EXPECT_DOUBLE_EQ(view.m_camera.eye[1], start);
    EXPECT_TRUE(SendWheel(view, QPoint(), QPoint(0, -120)));
    EXPECT_DOUBLE_EQ(view.m_camera.eye[1], start - 0.1);
}

using ViewFailure = WindowTest;

TEST_F(ViewFailure, PlainOkBoxWithTheApplicationTitle) {
    MessageBoxRequest seen{};
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        seen = r;
        return IDOK;
    });
    FailingView view;
    view.ShowFailure(QStringLiteral("wglCreateContext failed"));
    SetMessageBoxHook(nullptr);
    EXPECT_EQ(seen.title, QString::fromUtf8(kAppTitle));
    EXPECT_EQ(seen.text, QStringLiteral("wglCreateContext failed"));
    EXPECT_EQ(seen.icon, MsgIcon::None);
    EXPECT_EQ(seen.buttons, MsgButtons::Ok);
}
