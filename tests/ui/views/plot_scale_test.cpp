// The plots at a display scale of 2 (QT_SCALE_FACTOR=2, run under xvfb-run):
// the plot surface has the screen's resolution, two device pixels to each of
// the plot's pixels, and is drawn as such rather than enlarged.
#include "ui/views/plot_frame.h"
#include "ui/toolkit/draw_context.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "plot_scale_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_SCALE_FACTOR", "2");  // before the platform plugin loads
        return new QApplication(argc, argv);
    }();
    return *app;
}

TEST(PlotAtScaleTwo, SurfaceAtTheScreensResolution) {
    App();
    QWidget owner;
    owner.resize(300, 200);
    auto* plot = new CPlotFrame(&owner);
    plot->setGeometry(0, 0, 300, 200);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner, 10000));
    ASSERT_EQ(plot->devicePixelRatioF(), 2.0);
    plot->CreateSurface();
    // One solid grey line across the plot at y = 100 of the plot's pixels.
    plot->Draw(QStringLiteral("x"), QStringLiteral("y"),
               [](CDrawContext& dc, const PlotArea& a) { CPlotFrame::SolidLine(dc, a.left, 100, a.right, 100); },
               nullptr);
    const QImage& img = plot->Image();
    EXPECT_EQ(img.devicePixelRatio(), 2.0);
    EXPECT_EQ(img.size(), QSize(600, 400));
    // The line is one device pixel thin: drawn at the resolution, not an
    // enlarged picture (which would make it two device pixels thick).
    const int x = 2 * 150;
    EXPECT_EQ(img.pixel(x, 200) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(img.pixel(x, 201) & 0xFFFFFF, 0x000000u);
}

}  // namespace
