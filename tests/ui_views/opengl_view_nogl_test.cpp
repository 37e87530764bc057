// The 3D view when no OpenGL context can be made (the display's GL
// integration switched off): Create shows one failure text and fails, and
// the owner can go on without the view.
#include "ui/views/opengl_ahrs.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "opengl_view_nogl_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        // Must be set before the platform plugin loads.
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        qputenv("QT_OPENGL", "none");
        return new QApplication(argc, argv);
    }();
    return *app;
}

class RecordingView : public COpenGlAhrs {
public:
    QStringList shown;

protected:
    void ShowFailure(const QString& text) override { shown << text; }
};

TEST(ViewWithoutGl, CreateFailsWithOneMessage) {
    App();
    QWidget owner;
    owner.resize(300, 300);
    RecordingView view;
    EXPECT_FALSE(view.Create(&owner, QRect(0, 0, 200, 200), QStringLiteral("View"), 1003));
    ASSERT_EQ(view.shown.size(), 1);
    const QStringList known = {"ChoosePixelFormat failed.", "SetPixelFormat failed.", "wglCreateContext failed",
                               "wglMakeCurrent failed"};
    EXPECT_TRUE(known.contains(view.shown.front())) << view.shown.front().toStdString();
    EXPECT_NE(view.parentWidget(), &owner);  // not placed in the owner
    owner.show();                            // the owner carries on
    EXPECT_TRUE(owner.isVisible());
}

} // namespace
