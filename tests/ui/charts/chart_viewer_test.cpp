// The chart viewer's refresh cycle: merged notifications within the
// hold-off, the old picture kept when no chart comes, a chart the parent
// deletes at once still shown, and no drag in the default mouse mode.
#include "tests/support/window_fixture.h"
#include "ui/charts/chart_viewer.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QWheelEvent>

#include <memory>
#include <vector>

namespace {

// A pointer move delivered straight to the widget (the window system may
// merge or drop synthetic moves).
void MoveTo(QWidget* w, QPoint p, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class ViewerTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        MakeHost(500, 400);
        viewer = new CChartViewer(host.get());
        viewer->setProperty("ctrlId", 1000);
        QObject::connect(viewer, &CChartViewer::Notify, [this](int id, int code) {
            if (id != 1000 || code != CChartViewer::CVN_ViewPortChanged) return;
            ++notifications;
            lastChartFlag = viewer->chartRefreshPending();
            if (!giveChart) return;
            // The parent's chart lives only for this call.
            auto chart = std::make_unique<tchart::XYChart>(300, 200, 0x123456);
            chart->setPlotArea(40, 10, 250, 150, 0xFFFFFF);
            viewer->showChart(chart.get());
        });
        host->show();
    }
    CChartViewer* viewer = nullptr;
    int notifications = 0;
    bool lastChartFlag = false;
    bool giveChart = true;
};

}  // namespace

TEST_F(ViewerTest, ChartGivenInsideTheNotificationAppearsAfterItsOwnerDeletedIt) {
    viewer->refreshViewPort(true, false);
    EXPECT_EQ(notifications, 1);
    ASSERT_EQ(viewer->Image().size(), QSize(300, 200));
    EXPECT_EQ(viewer->Image().pixel(2, 2) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(viewer->size(), QSize(300, 200));
    EXPECT_EQ(viewer->getPlotAreaWidth(), 250);
}

TEST_F(ViewerTest, RequestsWithinTheHoldOffMergeIntoOneLaterNotification) {
    viewer->refreshViewPort(false, false);
    viewer->refreshViewPort(true, false);
    viewer->refreshViewPort(false, true);
    EXPECT_EQ(notifications, 1);
    Pump(80);
    EXPECT_EQ(notifications, 2);
    EXPECT_TRUE(lastChartFlag);  // the chart flag of the waiting requests was kept
    Pump(60);
    EXPECT_EQ(notifications, 2);
}

TEST_F(ViewerTest, NotificationWithoutAChartKeepsTheOldPicture) {
    viewer->refreshViewPort(true, false);
    const QImage before = viewer->Image();
    giveChart = false;
    Pump(40);
    viewer->refreshViewPort(true, false);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(viewer->Image(), before);
    EXPECT_NE(viewer->displayedChart(), nullptr);
}

TEST_F(ViewerTest, DefaultMouseModeNeverDrags) {
    viewer->refreshViewPort(true, false);
    QTest::mousePress(viewer, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_FALSE(viewer->draggingPointer());
    viewer->setMouseMode(CChartViewer::MouseUsageScroll);
    QTest::mousePress(viewer, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_TRUE(viewer->draggingPointer());
    QTest::mouseRelease(viewer, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_FALSE(viewer->draggingPointer());
}

TEST_F(ViewerTest, PointerNotificationsOverThePlotAreaAndOnLeaving) {
    viewer->refreshViewPort(true, false);
    std::vector<int> codes;
    QObject::connect(viewer, &CChartViewer::Notify, [&codes](int, int code) { codes.push_back(code); });
    MoveTo(viewer, QPoint(100, 80));
    EXPECT_EQ(codes, (std::vector<int>{CChartViewer::CVN_MouseMoveChart, CChartViewer::CVN_MouseMovePlotArea}));
    codes.clear();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(viewer, &leave);
    EXPECT_EQ(codes, (std::vector<int>{CChartViewer::CVN_MouseLeavePlotArea, CChartViewer::CVN_MouseLeaveChart}));
}

TEST_F(ViewerTest, WheelZoomsOnlyWithAFactorOtherThanOne) {
    viewer->refreshViewPort(true, false);
    Pump(40);
    MoveTo(viewer, QPoint(100, 80));
    auto wheel = [this] {
        QWheelEvent e(QPointF(100, 80), viewer->mapToGlobal(QPointF(100, 80)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewer, &e);
    };
    wheel();
    EXPECT_DOUBLE_EQ(viewer->getViewPortWidth(), 1);
    EXPECT_EQ(notifications, 1);
    EXPECT_FALSE(viewer->hasFocus());
    viewer->setWheelZoomFactor(2);
    wheel();
    EXPECT_DOUBLE_EQ(viewer->getViewPortWidth(), 0.5);
    EXPECT_EQ(notifications, 2);
}

TEST_F(ViewerTest, ZoomInModeDrawsTheSelectionBoxAndZoomsToIt) {
    viewer->refreshViewPort(true, false);
    Pump(40);
    viewer->setMouseMode(CChartViewer::MouseUsageZoomIn);
    viewer->setZoomAxes(tchart::DirectionHorizontal);
    QTest::mousePress(viewer, Qt::LeftButton, {}, QPoint(60, 40));
    MoveTo(viewer, QPoint(200, 120), Qt::LeftButton);
    Pump(20);  // a move soon after another one is processed by the viewer's timer
    int shown = 0;
    for (auto* edge : host->findChildren<CRectCtrl*>()) shown += edge->isVisible();
    EXPECT_EQ(shown, 4);
    QTest::mouseRelease(viewer, Qt::LeftButton, {}, QPoint(200, 120));
    for (auto* edge : host->findChildren<CRectCtrl*>()) EXPECT_FALSE(edge->isVisible());
    EXPECT_NEAR(viewer->getViewPortLeft(), 20.0 / 250, 1e-9);
    EXPECT_NEAR(viewer->getViewPortWidth(), 140.0 / 250, 1e-9);
    EXPECT_EQ(notifications, 2);
}
