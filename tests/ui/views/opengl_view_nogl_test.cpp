// The 3D view when no OpenGL context can be made (the display's GL
// integration switched off): Create shows one failure text and fails, and
// the owner can go on without the view.
#include "tests/support/window_fixture.h"
#include "ui/views/opengl_ahrs.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

// The shared main makes the QApplication; these must be set before its
// platform plugin loads, so at static initialisation.
const bool kNoGl = qputenv("QT_XCB_GL_INTEGRATION", "none") && qputenv("QT_OPENGL", "none");

class RecordingView : public COpenGlAhrs {
public:
    QStringList shown;

protected:
    void ShowFailure(const QString& text) override { shown << text; }
};

using ViewWithoutGl = WindowTest;

TEST_F(ViewWithoutGl, CreateFailsWithOneMessage) {
    ASSERT_TRUE(kNoGl);
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
