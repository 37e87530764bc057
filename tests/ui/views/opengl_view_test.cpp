// The 3D attitude view in a real window (run under xvfb-run): projection on
// resize, the mouse rules through real events, the selection pass, and the
// rendered picture read back from the framebuffer.
#include "tests/support/window_fixture.h"
#include "ui/views/opengl_ahrs.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TestView : public COpenGlAhrs {
public:
    int picks = 0;
    int lastPick = -1;
    // Loads a name around an extra quad just above the origin (nearer the
    // eye than the module) when >= 0.
    int pickName = -1;

    // Runs the resize handler for w x h and reads back viewport and projection.
    void ResizeAndRead(int w, int h, GLint viewport[4], GLdouble projection[16]) {
        makeCurrent();
        resizeGL(w, h);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        doneCurrent();
    }
    bool HasTexture(int slot) const { return TextureName(slot) != 0; }

protected:
    void OnPick(int name) override {
        ++picks;
        lastPick = name;
    }
    void DrawScene() override {
        COpenGlAhrs::DrawScene();
        if (pickName >= 0) {
            glLoadName(static_cast<GLuint>(pickName));
            glBegin(GL_QUADS);
            glVertex3d(-0.3, -0.3, 0.05);
            glVertex3d(0.3, -0.3, 0.05);
            glVertex3d(0.3, 0.3, 0.05);
            glVertex3d(-0.3, 0.3, 0.05);
            glEnd();
        }
    }
};

class ViewTest : public WindowTest {
protected:
    static constexpr int kSize = 400;
    void SetUp() override {
        WindowTest::SetUp();
        view = std::make_unique<TestView>();
        view->resize(kSize, kSize);
        // The page's starting camera.
        view->m_camera.azimuth = 220;
        view->m_camera.elevation = 45;
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get(), 10000));
    }
    void CloseWindows() override { view.reset(); }

    void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint p, Qt::MouseButtons held) {
        QMouseEvent ev(type, QPointF(p), view->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &ev);
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to, int steps = 4) {
        Mouse(QEvent::MouseButtonPress, button, from, button);
        for (int i = 1; i <= steps; ++i)
            Mouse(QEvent::MouseMove, Qt::NoButton, from + (to - from) * i / steps, button);
        Mouse(QEvent::MouseButtonRelease, button, to, Qt::NoButton);
    }
    void Wheel(int delta) {
        QWheelEvent ev(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &ev);
    }

    // True when some pixel within `radius` of the projection of `world`
    // (through `model`) satisfies `pred`.
    bool ColourNear(const QImage& img, const Mat4& model, const double world[3],
                    const std::function<bool(QColor)>& pred, int radius = 2) {
        double wx, wy;
        if (!ProjectToWindow(view->m_camera, img.width(), img.height(), model, world, &wx, &wy))
            return false;
        EXPECT_GE(wx, 0);
        EXPECT_LT(wx, img.width());
        EXPECT_GE(wy, 0);
        EXPECT_LT(wy, img.height());
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                const int x = static_cast<int>(wx) + dx, y = static_cast<int>(wy) + dy;
                if (x >= 0 && y >= 0 && x < img.width() && y < img.height() && pred(img.pixelColor(x, y)))
                    return true;
            }
        return false;
    }

    std::unique_ptr<TestView> view;
};

bool IsRed(QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; }
bool IsGreen(QColor c) { return c.green() > 180 && c.red() < 80 && c.blue() < 80; }
bool IsBlue(QColor c) { return c.blue() > 180 && c.red() < 80 && c.green() < 80; }
bool IsWhite(QColor c) { return c.red() > 230 && c.green() > 230 && c.blue() > 230; }

TEST_F(ViewTest, StartingValues) {
    COpenGlAhrs fresh;
    EXPECT_EQ(fresh.m_camera.fieldOfView, 45.0);
    EXPECT_EQ(fresh.m_camera.azimuth, 90.0);
    EXPECT_EQ(fresh.m_camera.elevation, 45.0);
    EXPECT_EQ(fresh.m_camera.eye[1], -1.0);
    EXPECT_EQ(fresh.m_dragMode, DRAG_NONE);
    EXPECT_EQ(fresh.m_pointCount, 0);
    EXPECT_EQ(fresh.m_roll, 0.0);
    EXPECT_FALSE(fresh.TexturesLoaded());
}

TEST_F(ViewTest, ZeroSizeResizeGivesOneByOneViewportAndAspectOne) {
    GLint vp[4];
    GLdouble proj[16];
    view->ResizeAndRead(0, 0, vp, proj);
    EXPECT_EQ(vp[2], 1);
    EXPECT_EQ(vp[3], 1);
    EXPECT_NEAR(proj[0], proj[5], 1e-9);  // aspect 1
    EXPECT_TRUE(std::isfinite(proj[0]));
    view->ResizeAndRead(400, 200, vp, proj);
    EXPECT_EQ(vp[2], 400);
    EXPECT_EQ(vp[3], 200);
    EXPECT_NEAR(proj[5] / proj[0], 2.0, 1e-9);
}

TEST_F(ViewTest, LeftDragTurnsRightDragMovesLookAtMiddleDragNothing) {
    Drag(Qt::LeftButton, QPoint(100, 100), QPoint(136, 100));
    EXPECT_NEAR(view->m_camera.azimuth, 230.0, 1e-9);
    Drag(Qt::LeftButton, QPoint(100, 100), QPoint(100, 136));
    EXPECT_NEAR(view->m_camera.elevation, 55.0, 1e-9);
    EXPECT_EQ(view->m_dragMode, DRAG_NONE);

    Drag(Qt::RightButton, QPoint(0, 0), QPoint(500, 0), 10);
    EXPECT_NEAR(view->m_camera.lookAt[0], -1.0, 1e-9);
    Drag(Qt::RightButton, QPoint(0, 0), QPoint(0, 500), 10);
    EXPECT_NEAR(view->m_camera.lookAt[2], 1.0, 1e-9);

    const Camera before = view->m_camera;
    const QImage a = view->grabFramebuffer();
    Drag(Qt::MiddleButton, QPoint(50, 50), QPoint(300, 250));
    EXPECT_EQ(view->m_camera.azimuth, before.azimuth);
    EXPECT_EQ(view->m_camera.elevation, before.elevation);
    EXPECT_EQ(view->m_camera.lookAt[0], before.lookAt[0]);
    EXPECT_EQ(view->m_camera.lookAt[2], before.lookAt[2]);
    EXPECT_EQ(view->grabFramebuffer(), a);

    // Moves without a pressed button change nothing.
    Mouse(QEvent::MouseMove, Qt::NoButton, QPoint(300, 300), Qt::NoButton);
    EXPECT_EQ(view->m_camera.azimuth, before.azimuth);
}

TEST_F(ViewTest, ReleaseClearsDragState) {
    Mouse(QEvent::MouseButtonPress, Qt::RightButton, QPoint(40, 60), Qt::RightButton);
    EXPECT_EQ(view->m_dragMode, DRAG_MOVE);
    EXPECT_EQ(view->m_lastX, 40);
    EXPECT_EQ(view->m_lastY, 60);
    Mouse(QEvent::MouseButtonRelease, Qt::RightButton, QPoint(40, 60), Qt::NoButton);
    EXPECT_EQ(view->m_dragMode, DRAG_NONE);
    EXPECT_EQ(view->m_lastX, 0);
    EXPECT_EQ(view->m_lastY, 0);
    Mouse(QEvent::MouseButtonPress, Qt::MiddleButton, QPoint(5, 6), Qt::MiddleButton);
    EXPECT_EQ(view->m_dragMode, DRAG_MIDDLE);
    Mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, QPoint(5, 6), Qt::NoButton);
    EXPECT_EQ(view->m_dragMode, DRAG_NONE);
}

TEST_F(ViewTest, WheelStepsAndClampsTheEye) {
    Wheel(-120);
    EXPECT_NEAR(view->m_camera.eye[1], -1.1, 1e-9);
    for (int i = 0; i < 40; ++i) Wheel(-120);
    EXPECT_EQ(view->m_camera.eye[1], -3.0);
    for (int i = 0; i < 40; ++i) Wheel(120);
    EXPECT_EQ(view->m_camera.eye[1], -0.2);
    EXPECT_EQ(view->m_camera.lookAt[1], 0.0);
}

TEST_F(ViewTest, LeftClickOnSceneStartsTurnAndPicksNothing) {
    const Camera before = view->m_camera;
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(kSize / 2, kSize / 2), Qt::LeftButton);
    EXPECT_EQ(view->m_dragMode, DRAG_TURN);
    EXPECT_EQ(view->picks, 0);
    EXPECT_TRUE(view->TexturesLoaded());
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(kSize / 2, kSize / 2), Qt::NoButton);
    EXPECT_EQ(view->m_camera.azimuth, before.azimuth);
    EXPECT_EQ(view->m_camera.elevation, before.elevation);
}

TEST_F(ViewTest, SelectionPassReportsALoadedName) {
    view->pickName = 5;
    // The window centre shows the look-at point, where the named quad lies.
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(kSize / 2, kSize / 2), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(kSize / 2, kSize / 2), Qt::NoButton);
    EXPECT_EQ(view->picks, 1);
    EXPECT_EQ(view->lastPick, 5);
    // Far off the quad: only the unnamed scene or nothing is hit.
    Mouse(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(2, 2), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(2, 2), Qt::NoButton);
    EXPECT_EQ(view->picks, 1);
}

TEST_F(ViewTest, BackgroundIsGreyAndWorldAxesHaveTheirColours) {
    const QImage img = view->grabFramebuffer();
    ASSERT_EQ(img.width(), kSize);
    EXPECT_TRUE(view->HasTexture(COpenGlAhrs::TEX_TOP));
    EXPECT_TRUE(view->HasTexture(COpenGlAhrs::TEX_PLAIN_SIDE));
    // The most frequent colour is the 96/255 background.
    QHash<QRgb, int> counts;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3) ++counts[img.pixel(x, y) & 0xFFFFFF];
    QRgb most = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > counts.value(most)) most = it.key();
    EXPECT_EQ(qRed(most), 96);
    EXPECT_EQ(qGreen(most), 96);
    EXPECT_EQ(qBlue(most), 96);

    const double x[3] = {0.3, 0, 0}, y[3] = {0, 0.3, 0}, z[3] = {0, 0, 0.3};
    EXPECT_TRUE(ColourNear(img, Identity(), x, IsRed));
    EXPECT_TRUE(ColourNear(img, Identity(), y, IsGreen));
    EXPECT_TRUE(ColourNear(img, Identity(), z, IsBlue));
}

TEST_F(ViewTest, ModuleDrawnAtItsPoseYawNinetyTurnsXOntoY) {
    view->m_position[0] = view->m_position[1] = view->m_position[2] = 0.2;
    const double bodyX[3] = {0.045, 0, 0};
    const double pos[3] = {0.2, 0.2, 0.2};
    view->update();
    QImage img = view->grabFramebuffer();
    EXPECT_TRUE(ColourNear(img, ModulePose(pos, 0, 0, 0), bodyX, IsRed));
    // Nothing red where the module's x axis would be if it were at the origin
    // pointing along world +y.
    const double atY[3] = {0.2, 0.245, 0.2};
    EXPECT_FALSE(ColourNear(img, Identity(), atY, IsRed, 1));

    view->m_yaw = 90;
    view->update();
    img = view->grabFramebuffer();
    EXPECT_TRUE(ColourNear(img, ModulePose(pos, 0, 0, 90), bodyX, IsRed));
    EXPECT_TRUE(ColourNear(img, Identity(), atY, IsRed));
    const double atX[3] = {0.245, 0.2, 0.2};
    EXPECT_FALSE(ColourNear(img, Identity(), atX, IsRed, 1));
}

// Counts reddish pixels of the top face over body x in [x0, x1] * X and
// y in [y0, y1] * Y (X, Y the half sizes), sampled on a grid.
int RedOnTop(ViewTest* t, const QImage& img, const Camera& cam, double x0, double x1, double y0, double y1) {
    (void)t;
    int red = 0;
    for (int i = 0; i <= 10; ++i)
        for (int j = 0; j <= 10; ++j) {
            const double p[3] = {0.02 * (x0 + (x1 - x0) * i / 10), 0.02 * (y0 + (y1 - y0) * j / 10), 0.005};
            double wx, wy;
            if (!ProjectToWindow(cam, img.width(), img.height(), Identity(), p, &wx, &wy)) continue;
            const QColor c = img.pixelColor(static_cast<int>(wx), static_cast<int>(wy));
            if (c.red() > c.green() + 40 && c.red() > c.blue() + 40) ++red;
        }
    return red;
}

TEST_F(ViewTest, TopPictureUpperEdgeAlongXLeftEdgeAlongY) {
    // Looking straight down with body x up the screen and y to the left, the
    // picture reads as drawn: its red x arrow of the legend lies in the
    // lower right, that is towards -x and -y.
    view->m_camera.elevation = 90;
    view->m_camera.azimuth = 90;
    view->m_camera.eye[1] = -0.2;
    view->update();
    const QImage img = view->grabFramebuffer();
    EXPECT_GT(RedOnTop(this, img, view->m_camera, -0.8, -0.2, -0.9, -0.1), 0);
    EXPECT_EQ(RedOnTop(this, img, view->m_camera, 0.2, 0.8, -0.9, -0.1), 0);   // flipped top to bottom
    EXPECT_EQ(RedOnTop(this, img, view->m_camera, -0.8, -0.2, 0.1, 0.9), 0);   // flipped left to right
}

TEST_F(ViewTest, BoundingBoxFromTheEleventhPoint) {
    // Two corners of the cloud and points at its centre; the edge midpoint
    // between the corners' x values at (min y, min z) has no point.
    const float lo[3] = {-0.35f, 0.15f, 0.1f}, hi[3] = {-0.15f, 0.35f, 0.3f};
    auto fill = [&](int count) {
        view->m_pointCount = 0;
        for (int i = 0; i < count; ++i) {
            const float* p = nullptr;
            float mid[3] = {-0.25f, 0.25f, 0.2f};
            p = i == 0 ? lo : i == 1 ? hi : mid;
            for (int k = 0; k < 3; ++k) view->m_points[view->m_pointCount][k] = p[k];
            ++view->m_pointCount;
        }
        view->update();
    };
    const double edgeMid[3] = {-0.25, 0.15, 0.1};
    fill(10);
    QImage img = view->grabFramebuffer();
    EXPECT_FALSE(ColourNear(img, Identity(), edgeMid, IsWhite, 1));
    const double corner[3] = {lo[0], lo[1], lo[2]};
    EXPECT_TRUE(ColourNear(img, Identity(), corner, IsWhite, 2));  // the point itself
    fill(11);
    img = view->grabFramebuffer();
    EXPECT_TRUE(ColourNear(img, Identity(), edgeMid, IsWhite, 2));
}

TEST_F(ViewTest, PointCountBeyondTheBufferIsNotReadPastItsEnd) {
    view->m_pointCount = 5000;
    view->update();
    const QImage img = view->grabFramebuffer();
    EXPECT_FALSE(img.isNull());
    view->m_pointCount = -3;
    EXPECT_FALSE(view->grabFramebuffer().isNull());
}

// The view's own native window: frames reach it when it is shown and when
// the view is invalidated, and the mouse on it turns, moves and zooms the
// camera and picks, as on the view itself.
class WindowInputTest : public WindowTest {
protected:
    void CloseWindows() override { view.reset(); }
    void SetUp() override {
        WindowTest::SetUp();
        view = std::make_unique<TestView>();
        view->pickName = 7;  // the named quad over the look-at point
        view->resize(400, 400);
        view->m_camera.azimuth = 220;
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get(), 10000));
        window = view->SurfaceWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 10000));
    }
    std::unique_ptr<TestView> view;
    QWindow* window = nullptr;
};

TEST_F(WindowInputTest, FramesReachTheWindowWhenShownAndWhenInvalidated) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->FramesDrawn() > 0; }, 5000));
    const int before = view->FramesDrawn();
    view->m_yaw = 45;
    view->Invalidate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->FramesDrawn() > before; }, 5000));
}

TEST_F(WindowInputTest, DragZoomAndPickOnTheWindow) {
    // A left drag of 36 pixels to the right turns the camera by 10 degrees,
    // and the press picks the named quad under the window's centre.
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    EXPECT_EQ(view->picks, 1);
    EXPECT_EQ(view->lastPick, 7);
    QTest::mouseMove(window, QPoint(236, 200));
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(236, 200));
    EXPECT_NEAR(view->m_camera.azimuth, 230.0, 1e-9);
    EXPECT_EQ(view->m_dragMode, DRAG_NONE);

    // A right drag of 50 pixels down moves the look-at point up by 0.1.
    QTest::mousePress(window, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseMove(window, QPoint(10, 60));
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, QPoint(10, 60));
    EXPECT_NEAR(view->m_camera.lookAt[2], 0.1, 1e-9);

    // The wheel towards the user moves the eye back by 0.1.
    QWheelEvent wheel(QPointF(50, 50), window->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window, &wheel);
    EXPECT_NEAR(view->m_camera.eye[1], -1.1, 1e-9);
}

} // namespace
