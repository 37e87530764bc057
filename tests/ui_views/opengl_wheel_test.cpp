// The 3D view's wheel: a wheel event without vertical movement (a sideways
// tilt, a horizontal swipe) does not zoom; a vertical one does. The view is
// not shown: wheel handling needs no GL context.
#include "ui/views/opengl_wnd.h"

#include <QApplication>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "opengl_wheel_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

bool SendWheel(COpenGlWnd& view, QPoint pixels, QPoint angle) {
    QWheelEvent ev(QPointF(10, 10), QPointF(10, 10), pixels, angle, Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(&view, &ev);
    return ev.isAccepted();
}

}  // namespace

TEST(ViewWheel, OnlyVerticalMovementZooms) {
    App();
    COpenGlWnd view;
    const double start = view.m_camera.eye[1];
    EXPECT_FALSE(SendWheel(view, QPoint(), QPoint(120, 0)));      // tilted sideways
    EXPECT_FALSE(SendWheel(view, QPoint(-30, 0), QPoint(-30, 0))); // horizontal swipe
    EXPECT_DOUBLE_EQ(view.m_camera.eye[1], start);
    EXPECT_TRUE(SendWheel(view, QPoint(), QPoint(0, -120)));
    EXPECT_DOUBLE_EQ(view.m_camera.eye[1], start - 0.1);
}
