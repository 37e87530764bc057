// The charting module: tick choice, date labels, automatic scales, gaps,
// viewport arithmetic, hot spots, and the pixels of a rendered chart.
#include "chart/image_map.h"
#include "chart/moving_average.h"
#include "chart/viewport.h"
#include "chart/xy_chart.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <vector>

using namespace tchart;

namespace {

int CountColour(const QImage& img, QRgb colour, int x0 = 0, int x1 = -1) {
    if (x1 < 0) x1 = img.width();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = x0; x < x1; ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

// A 600 x 300 chart of three rising lines over 100 points of x = 0..99.
XYChart ThreeLines(std::vector<double>& x, std::vector<double> (&v)[3]) {
    XYChart c(600, 300, 0xEEEEEE);
    c.setPlotArea(50, 10, 500, 250, 0xFFFFFF, -1, -1, 0xCCCCCC, 0xCCCCCC);
    c.setClipping(0);
    LineLayer* layer = c.addLineLayer();
    x.resize(100);
    for (int k = 0; k < 3; ++k) v[k].resize(100);
    for (int i = 0; i < 100; ++i) {
        x[static_cast<size_t>(i)] = i;
        for (int k = 0; k < 3; ++k) v[k][static_cast<size_t>(i)] = i * (k + 1);
    }
    layer->setXData(x);
    layer->addDataSet(v[0], 0xFF0000, "x");
    layer->addDataSet(v[1], 0x00FF00, "y");
    layer->addDataSet(v[2], 0x0000FF, "z");
    return c;
}

}  // namespace

TEST(ChartScale, NiceStepFitsTheTickDensity) {
    EXPECT_DOUBLE_EQ(NiceStep(10, 300, 30), 1);    // 10 steps allowed
    EXPECT_DOUBLE_EQ(NiceStep(10, 100, 30), 5);    // 3 steps allowed
    EXPECT_DOUBLE_EQ(NiceStep(0.7, 300, 60), 0.2);  // 5 steps allowed
}

TEST(ChartScale, AutoLinearScaleRoundsTheEndsOut) {
    const AxisScale s = AutoLinearScale(0.3, 9.7, 300, 30, 10);
    EXPECT_DOUBLE_EQ(s.lo, 0);
    EXPECT_DOUBLE_EQ(s.hi, 10);
    EXPECT_DOUBLE_EQ(s.major, 1);
    // Data on a tick is kept off the plot edge.
    const AxisScale touching = AutoLinearScale(10, 30, 400, 60, 10);
    EXPECT_DOUBLE_EQ(touching.major, 5);
    EXPECT_DOUBLE_EQ(touching.lo, 5);
    EXPECT_DOUBLE_EQ(touching.hi, 35);
    const AxisScale flat = AutoLinearScale(5, 5, 300, 30, 10);
    EXPECT_LT(flat.lo, 5);
    EXPECT_GT(flat.hi, 5);
}

TEST(ChartScale, DateStepsAreCalendarStepsNoFinerThanTheLabels) {
    EXPECT_DOUBLE_EQ(AutoDateScale(0, 60, 800, 100, 20, 1).major, 10);  // 8 ticks allowed -> 10 s
    EXPECT_DOUBLE_EQ(AutoDateScale(0, 2, 800, 100, 20, 1).major, 1);    // 0.5 s would repeat labels
    EXPECT_DOUBLE_EQ(AutoDateScale(0, 2, 800, 100, 20, 0).major, 0.5);
    EXPECT_DOUBLE_EQ(AutoDateScale(0, 240, 800, 100, 20, 1).major, 30);
}

TEST(ChartTime, DateLabelsFromChartTime) {
    EXPECT_DOUBLE_EQ(chartTime(1, 1, 2), 86400);
    const double t = chartTime(2026, 12, 9, 13, 5, 7.4);
    EXPECT_EQ(formatLabel("{value|hh:nn:ss}", t), "13:05:07");
    EXPECT_EQ(formatLabel("{value|yyyy-mm-dd hh:nn:ss.fff}", t), "2026-12-09 13:05:07.400");
    EXPECT_EQ(formatLabel("{value|2} m", 3.14159), "3.14 m");
    EXPECT_DOUBLE_EQ(dateTemplateResolution("{value|hh:nn:ss}"), 1);
}

TEST(XYChartLayout, YScaleCoversOnlyPointsInsideTheXScaleAndSkipsGaps) {
    XYChart c(400, 300);
    c.setPlotArea(50, 10, 300, 250);
    LineLayer* layer = c.addLineLayer();
    layer->setXData(std::vector<double>{0, 1, 2, 3, 4});
    layer->addDataSet(std::vector<double>{-500, 2, NoValue, 8, 3}, 0xFF0000);
    c.xAxis()->setLinearScale(1, 4);
    const ChartMetrics m = c.getChartMetrics();
    EXPECT_LE(m.yMin, 2);
    EXPECT_GE(m.yMin, 0);  // -500 lies left of the x scale
    EXPECT_GE(m.yMax, 8);
    EXPECT_LT(m.yMax, 20);  // the marker 1.7e308 is no value
    EXPECT_EQ(m.plotLeft, 50);
    EXPECT_EQ(m.plotWidth, 300);
}

TEST(XYChartRender, CurvesInTheirColours) {
    std::vector<double> x, v[3];
    XYChart c = ThreeLines(x, v);
    const QImage img = c.makeChart();
    ASSERT_EQ(img.size(), QSize(600, 300));
    EXPECT_GT(CountColour(img, 0xFF0000), 100);
    EXPECT_GT(CountColour(img, 0x00FF00), 100);
    EXPECT_GT(CountColour(img, 0x0000FF), 100);
    EXPECT_EQ(img.pixel(5, 5) & 0xFFFFFF, 0xEEEEEEu);  // chart background
}

TEST(XYChartRender, NoLineAcrossAGap) {
    std::vector<double> x, v[3];
    ThreeLines(x, v);
    for (int gapInX = 0; gapInX < 2; ++gapInX) {
        // Points 40..59 missing: in the y values, or in the x data.
        std::vector<double> red = v[0], xs = x;
        for (size_t i = 40; i < 60; ++i) (gapInX ? xs[i] : red[i]) = NoValue;
        XYChart g(600, 300, 0xEEEEEE);
        g.setPlotArea(50, 10, 500, 250, 0xFFFFFF, -1, -1, -1, -1);
        LineLayer* layer = g.addLineLayer();
        layer->setXData(xs);
        layer->addDataSet(red, 0xFF0000);
        g.xAxis()->setLinearScale(0, 99);
        g.yAxis()->setLinearScale(0, 100);
        const QImage img = g.makeChart();
        // 500 pixels for 99 steps: point 40 lies at x 252, point 59 at x 348.
        EXPECT_EQ(CountColour(img, 0xFF0000, 254, 347), 0) << gapInX;
        EXPECT_GT(CountColour(img, 0xFF0000, 50, 252), 50) << gapInX;
        EXPECT_GT(CountColour(img, 0xFF0000, 349, 550), 50) << gapInX;
    }
}

// Dark pixels of the x-axis labels: the same whether the image ends 4 px or
// 100 px right of the plot area, so the last label is moved in, not cut.
TEST(XYChartRender, LastXLabelStaysInsideTheImage) {
    int dark[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        XYChart c(k == 0 ? 254 : 350, 120, 0xFFFFFF);
        c.setPlotArea(50, 10, 200, 80, 0xFFFFFF, -1, -1, -1, -1);
        c.xAxis()->setLinearScale(0, 1000, 500);
        c.yAxis()->setLinearScale(0, 1, 1);
        const QImage img = c.makeChart();
        for (int y = 92; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) dark[k] += qGray(img.pixel(x, y)) < 128;
    }
    EXPECT_GT(dark[1], 20);
    EXPECT_EQ(dark[0], dark[1]);
}

TEST(ViewPort, ZoomKeepsThePointUnderThePointerAndDragStaysInside) {
    ViewPortManager vp;
    ChartMetrics m;
    m.plotLeft = 100;
    m.plotTop = 0;
    m.plotWidth = 400;
    m.plotHeight = 200;
    vp.setChartMetrics(&m);
    EXPECT_TRUE(vp.inPlotArea(100, 0));
    EXPECT_FALSE(vp.inPlotArea(500, 0));
    EXPECT_TRUE(vp.inExtendedPlotArea(97, 0));
    // Zoom in 2x at a quarter of the width: the point at 0.25 stays at 0.25.
    EXPECT_TRUE(vp.zoomAt(DirectionHorizontal, 200, 50, 2.0));
    EXPECT_DOUBLE_EQ(vp.getViewPortWidth(), 0.5);
    EXPECT_DOUBLE_EQ(vp.getViewPortLeft() + 0.25 * vp.getViewPortWidth(), 0.25);
    EXPECT_DOUBLE_EQ(vp.getViewPortHeight(), 1);
    // Dragging the content right by the plot width moves the view to the start, no further.
    vp.startDrag();
    EXPECT_TRUE(vp.dragTo(DirectionHorizontal, 400, 0));
    EXPECT_DOUBLE_EQ(vp.getViewPortLeft(), 0);
    EXPECT_FALSE(vp.dragTo(DirectionHorizontal, 800, 0));
    // A box over the right half of the plot.
    EXPECT_TRUE(vp.zoomTo(DirectionHorizontalVertical, 300, 0, 500, 100));
    EXPECT_DOUBLE_EQ(vp.getViewPortLeft(), 0.25);
    EXPECT_DOUBLE_EQ(vp.getViewPortWidth(), 0.25);
    EXPECT_DOUBLE_EQ(vp.getViewPortHeight(), 0.5);
    // Zoom out never goes past the full range.
    vp.zoomAround(300, 100, 0.01, 0.01);
    EXPECT_DOUBLE_EQ(vp.getViewPortWidth(), 1);
    EXPECT_FALSE(vp.canZoomOut(DirectionHorizontalVertical));
    EXPECT_TRUE(vp.canZoomIn(DirectionHorizontal));
}

TEST(ImageMap, HotSpotByPosition) {
    ImageMapHandler h("<area shape=\"rect\" coords=\"10,10,20,20\" title='a' href=\"p\">"
                      "<area shape=\"circle\" coords=\"50,50,5\" title=\"b\">");
    EXPECT_EQ(h.getHotSpot(15, 15), 1);
    EXPECT_EQ(h.getValue("path"), "p");
    EXPECT_EQ(h.getHotSpot(52, 52), 2);
    EXPECT_EQ(h.getValue("title"), "b");
    EXPECT_EQ(h.getHotSpot(30, 30), 0);
}

TEST(MovingAverage, MeanOfAllUntilFullThenOfTheLastN) {
    MovingAverageFilter f;
    f.SetWindowSize(3);
    EXPECT_DOUBLE_EQ(f.AddSample(3), 3);
    EXPECT_DOUBLE_EQ(f.AddSample(6), 4.5);
    EXPECT_DOUBLE_EQ(f.AddSample(9), 6);
    EXPECT_DOUBLE_EQ(f.AddSample(12), 9);   // 6, 9, 12
    EXPECT_DOUBLE_EQ(f.AddSample(0), 7);    // 9, 12, 0
    for (int i = 0; i < 2000; ++i) f.AddSample(i % 2 ? 1e6 : 1.0);
    f.AddSample(2);
    f.AddSample(2);
    EXPECT_DOUBLE_EQ(f.AddSample(2), 2);  // exact again after the ring wrapped, no drift
    MovingAverageFilter one;
    one.SetWindowSize(0);
    EXPECT_EQ(one.WindowSize(), 1);
    EXPECT_DOUBLE_EQ(one.AddSample(5), 5);
    EXPECT_DOUBLE_EQ(one.AddSample(-7), -7);
}

TEST(ChartFormat, NumbersUseThePointWhateverTheLocale) {
    if (!std::setlocale(LC_NUMERIC, "de_DE.utf8")) GTEST_SKIP() << "no de_DE locale";
    EXPECT_EQ(formatLabel("{value|1}", 2.26), "2.3");
    std::setlocale(LC_NUMERIC, "C");
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
