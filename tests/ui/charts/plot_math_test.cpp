// The probe plot's layout rules: axis fitting, zoom, cursor index, legend colours.
#include "ui/charts/probe_plot_math.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int32_t> Filled(int32_t v) { return std::vector<int32_t>(kProbeBufferSize, v); }

ProbePlot Framed() {
    ProbePlot p;
    p.SetOuterRect({0, 0, 1075, 455});  // plot area 65..1065 x 10..410
    return p;
}

}  // namespace

TEST(ProbePlotMath, XStepFollowsTheDelay) {
    EXPECT_DOUBLE_EQ(XStepForDelay(kProbeDrawings[0], 4), 0.4);
    EXPECT_DOUBLE_EQ(XStepForDelay(kProbeDrawings[6], 4), 9.765625 / 4);
}

TEST(ProbePlotMath, FlatBlockGetsAMilliTickAroundItsValue) {
    ProbePlot p;
    const auto zeros = Filled(0);
    ASSERT_TRUE(p.LayoutForSource(1002, zeros.data(), 1));
    EXPECT_NEAR(p.yMin, -0.001, 1e-12);
    EXPECT_NEAR(p.yMax, 0.001, 1e-12);
    EXPECT_NEAR(p.yTick, 0.001, 1e-12);
    EXPECT_EQ(p.first, 0);
    EXPECT_EQ(p.last, 255);
}

TEST(ProbePlotMath, RangeMinusOneToOneGetsHalfTicks) {
    ProbePlot p;
    p.FitYAxis(-1.0, 1.0);
    EXPECT_DOUBLE_EQ(p.yTick, 0.5);
    EXPECT_DOUBLE_EQ(p.yMin, -1.5);
    EXPECT_DOUBLE_EQ(p.yMax, 1.5);
}

TEST(ProbePlotMath, ScaledDataAreFitted) {
    ProbePlot p;
    std::vector<int32_t> b = Filled(0);
    b[0] = -3000;  // -3 g after the 0.001 scale
    b[1] = 3000;
    ASSERT_TRUE(p.LayoutForSource(1005, b.data(), 1));
    EXPECT_DOUBLE_EQ(p.yTick, 2.0);
    EXPECT_DOUBLE_EQ(p.yMin, -4.0);
    EXPECT_DOUBLE_EQ(p.yMax, 4.0);
}

TEST(ProbePlotMath, ValuesNotReadDoNotCountForTheFit) {
    ProbePlot p;
    std::vector<int32_t> b = Filled(5000);
    std::vector<uint8_t> valid(kProbeBufferSize, 1);
    b[3] = 0;
    valid[3] = 0;
    ASSERT_TRUE(p.LayoutForSource(1005, b.data(), 1, valid.data()));
    EXPECT_GT(p.yMin, 4.0);
}

TEST(ProbePlotMath, ClickZoomsToElevenSamplesAndKeepsY) {
    ProbePlot p = Framed();
    p.last = 255;
    p.ZoomToSelection(565, 100, 565, 100);  // sample 127.5
    EXPECT_EQ(p.first, 122);
    EXPECT_EQ(p.last, 132);
    EXPECT_DOUBLE_EQ(p.yMin, -1.0);
    p = Framed();
    p.ZoomToSelection(66, 100, 66, 100);  // at the start: pushed inside
    EXPECT_EQ(p.first, 0);
    EXPECT_EQ(p.last, 10);
    p = Framed();
    p.ZoomToSelection(1064, 100, 1064, 100);
    EXPECT_EQ(p.first, 245);
    EXPECT_EQ(p.last, 255);
}

TEST(ProbePlotMath, DragZoomsBothAxes) {
    ProbePlot p = Framed();
    p.ZoomToSelection(865, 10, 65, 210);  // samples 0..204, y 1 .. 0
    EXPECT_EQ(p.first, 0);
    EXPECT_EQ(p.last, 204);
    EXPECT_DOUBLE_EQ(p.yTick, 0.2);
    EXPECT_NEAR(p.yMin, -0.2, 1e-12);
    EXPECT_NEAR(p.yMax, 1.2, 1e-12);
}

TEST(ProbePlotMath, CursorIndexInsideAndEdgesOutside) {
    ProbePlot p = Framed();
    EXPECT_DOUBLE_EQ(p.TrackCursor(565, 200), 127.5);
    EXPECT_TRUE(p.CrossShown());
    EXPECT_EQ(p.TrackCursor(65, 200), -1.0);  // on the edge
    EXPECT_FALSE(p.CrossShown());
    EXPECT_EQ(p.TrackCursor(565, 410), -1.0);
}

TEST(ProbePlotMath, MappingTruncates) {
    ProbePlot p = Framed();
    EXPECT_EQ(p.X(0), 65);
    EXPECT_EQ(p.X(255), 1065);
    EXPECT_EQ(p.X(1), 68);  // 3.92 truncated
    EXPECT_EQ(p.Y(-1.0), 410);
    EXPECT_EQ(p.Y(1.0), 10);
}

TEST(ProbePlotMath, LightGridStepFollowsLabelInterval) {
    ProbePlot p;
    p.labelInterval = 20;
    EXPECT_EQ(p.LightGridStep(), 5);
    p.labelInterval = 50;
    EXPECT_EQ(p.LightGridStep(), 20);
}

TEST(ProbePlotMath, LegendWordsColourTheChannels) {
    PlotRgb c[4] = {kDefaultChannelColors[0], kDefaultChannelColors[1], kDefaultChannelColors[2],
                    kDefaultChannelColors[3]};
    ColorsFromLegend(c, "blue: a, green: b, nothing, cyan: d, red: e");
    EXPECT_EQ(c[0], (PlotRgb{0, 0, 255}));
    EXPECT_EQ(c[1], (PlotRgb{0, 127, 0}));  // "gree" matches "green"
    EXPECT_EQ(c[2], (PlotRgb{0, 0, 255}));  // no word: unchanged
    EXPECT_EQ(c[3], (PlotRgb{0, 255, 255}));
}
