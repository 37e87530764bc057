// Camera arithmetic of the 3D view: mouse drags, wheel clamps, the viewport
// floor, the module pose and the nearest-hit rule of the selection pass.
#include "ui/views/camera_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(CameraDrag, TurnDragIs36PixelsPer10Degrees) {
    Camera c;
    ApplyDrag(c, DRAG_TURN, 36, 0);
    EXPECT_NEAR(c.azimuth, 100.0, 1e-9);
    EXPECT_NEAR(c.elevation, 45.0, 1e-9);
    ApplyDrag(c, DRAG_TURN, 0, 36);
    EXPECT_NEAR(c.elevation, 55.0, 1e-9);
    // Many small moves add up the same way, without wrapping or limits.
    for (int i = 0; i < 360; ++i) ApplyDrag(c, DRAG_TURN, 36, -36);
    EXPECT_NEAR(c.azimuth, 100.0 + 3600.0, 1e-6);
    EXPECT_NEAR(c.elevation, 55.0 - 3600.0, 1e-6);
    // Eye and look-at untouched.
    EXPECT_EQ(c.eye[1], -1.0);
    EXPECT_EQ(c.lookAt[0], 0.0);
}

TEST(CameraDrag, MoveDragIs500PixelsPerUnit) {
    Camera c;
    ApplyDrag(c, DRAG_MOVE, 500, 0);
    EXPECT_NEAR(c.lookAt[0], -1.0, 1e-12);
    ApplyDrag(c, DRAG_MOVE, 0, 500);
    EXPECT_NEAR(c.lookAt[2], 1.0, 1e-12);
    EXPECT_EQ(c.lookAt[1], 0.0);
    EXPECT_EQ(c.azimuth, 90.0);
    EXPECT_EQ(c.elevation, 45.0);
}

TEST(CameraDrag, MiddleAndNoDragChangeNothing) {
    for (int mode : {int(DRAG_NONE), int(DRAG_MIDDLE), 7}) {
        Camera c;
        ApplyDrag(c, mode, 123, -77);
        EXPECT_EQ(c.azimuth, 90.0);
        EXPECT_EQ(c.elevation, 45.0);
        EXPECT_EQ(c.lookAt[0], 0.0);
        EXPECT_EQ(c.lookAt[2], 0.0);
        EXPECT_EQ(c.eye[1], -1.0);
    }
}

TEST(CameraWheel, StepsOneTenthAndClamps) {
    Camera c;
    ApplyWheel(c, -120);
    EXPECT_NEAR(c.eye[1], -1.1, 1e-9);
    ApplyWheel(c, -1);  // any negative size is one step
    EXPECT_NEAR(c.eye[1], -1.2, 1e-9);
    for (int i = 0; i < 100; ++i) ApplyWheel(c, -120);
    EXPECT_EQ(c.eye[1], -3.0);
    for (int i = 0; i < 100; ++i) ApplyWheel(c, 960);
    EXPECT_EQ(c.eye[1], -0.2);
    ApplyWheel(c, 0);  // zero counts as rolled away from the user
    EXPECT_EQ(c.eye[1], -0.2);
    ApplyWheel(c, -120);
    EXPECT_NEAR(c.eye[1], -0.3, 1e-9);
    EXPECT_EQ(c.eye[0], 0.0);
    EXPECT_EQ(c.eye[2], 0.0);
}

TEST(CameraViewport, SizesBelowOneCountAsOne) {
    ViewportSize v = ViewportFor(0, 0);
    EXPECT_EQ(v.width, 1);
    EXPECT_EQ(v.height, 1);
    EXPECT_EQ(v.aspect, 1.0);
    v = ViewportFor(-5, 200);
    EXPECT_EQ(v.width, 1);
    EXPECT_DOUBLE_EQ(v.aspect, 1.0 / 200.0);
    v = ViewportFor(640, 0);
    EXPECT_EQ(v.height, 1);
    EXPECT_TRUE(std::isfinite(v.aspect));
    EXPECT_DOUBLE_EQ(ViewportFor(640, 480).aspect, 640.0 / 480.0);
}

TEST(ModulePoseTest, YawNinetyTurnsXOntoY) {
    const double origin[3] = {0, 0, 0};
    const double x[3] = {1, 0, 0};
    double out[3];
    ASSERT_TRUE(TransformPoint(ModulePose(origin, 0, 0, 90), x, out));
    EXPECT_NEAR(out[0], 0, 1e-12);
    EXPECT_NEAR(out[1], 1, 1e-12);
    EXPECT_NEAR(out[2], 0, 1e-12);
}

TEST(ModulePoseTest, OrderIsYawThenPitchThenRollAfterTranslation) {
    // Roll 90 first turns body y onto z; pitch 90 then turns z onto x;
    // yaw 90 turns x onto y; then the translation.
    const double pos[3] = {1, 2, 3};
    const double y[3] = {0, 1, 0};
    double out[3];
    ASSERT_TRUE(TransformPoint(ModulePose(pos, 90, 90, 90), y, out));
    EXPECT_NEAR(out[0], 1, 1e-12);
    EXPECT_NEAR(out[1], 3, 1e-12);
    EXPECT_NEAR(out[2], 3, 1e-12);
}

TEST(Projection, LookAtPointIsWindowCentre) {
    Camera c;  // eye (0,-1,0) looking at the origin, Z up
    c.azimuth = 220;
    c.elevation = 45;
    const double origin[3] = {0, 0, 0};
    double wx, wy;
    ASSERT_TRUE(ProjectToWindow(c, 400, 300, Identity(), origin, &wx, &wy));
    EXPECT_NEAR(wx, 200.0, 1e-9);
    EXPECT_NEAR(wy, 150.0, 1e-9);
}

TEST(Projection, WorldUpIsScreenUpWithoutTilt) {
    Camera c;
    c.azimuth = 0;
    c.elevation = 0;
    const double up[3] = {0, 0, 0.1};
    const double right[3] = {0.1, 0, 0};
    double wx, wy;
    ASSERT_TRUE(ProjectToWindow(c, 400, 400, Identity(), up, &wx, &wy));
    EXPECT_NEAR(wx, 200.0, 1e-9);
    EXPECT_LT(wy, 200.0);
    ASSERT_TRUE(ProjectToWindow(c, 400, 400, Identity(), right, &wx, &wy));
    EXPECT_GT(wx, 200.0);
    EXPECT_NEAR(wy, 200.0, 1e-9);
    // 45 degree vertical field of view: a point at tan(22.5) * distance sits on the top edge.
    const double edge[3] = {0, 0, std::tan(22.5 * 3.14159265358979323846 / 180.0)};
    ASSERT_TRUE(ProjectToWindow(c, 400, 400, Identity(), edge, &wx, &wy));
    EXPECT_NEAR(wy, 0.0, 1e-6);
    // Behind the eye.
    const double behind[3] = {0, -2, 0};
    EXPECT_FALSE(ProjectToWindow(c, 400, 400, Identity(), behind, &wx, &wy));
}

TEST(SelectionHits, NearestByUnsignedMinimumDepthFirstWinsTies) {
    uint32_t buf[16] = {1, 500, 600, 4, 1, 0x80000000u, 1, 9, 1, 100, 200, 2, 1, 100, 300, 3};
    EXPECT_EQ(NearestHitName(buf, 16, 4), 2);
    // Large depths compare as unsigned: 0x80000000 is far, not negative.
    EXPECT_EQ(NearestHitName(buf, 16, 2), 4);
    uint32_t minusOne[4] = {1, 10, 20, 0xFFFFFFFFu};
    EXPECT_EQ(NearestHitName(minusOne, 4, 1), -1);
}

TEST(SelectionHits, NoHitsOverflowAndExcessCountReadNothingOutside) {
    uint32_t buf[8] = {1, 50, 60, 5, 1, 40, 60, 6};
    EXPECT_EQ(NearestHitName(buf, 8, 0), -1);
    EXPECT_EQ(NearestHitName(buf, 8, -1), -1);      // GL reports overflow as -1
    EXPECT_EQ(NearestHitName(buf, 8, 1000), 6);     // only the two records inside
    EXPECT_EQ(NearestHitName(nullptr, 8, 2), -1);
}

TEST(PointBoundsTest, StartsAt1000AndTracksMinMax) {
    const float pts[3][3] = {{0.1f, -0.2f, 0.3f}, {-0.4f, 0.5f, 0.0f}, {0.2f, 0.1f, -0.6f}};
    Bounds b = PointBounds(pts, 0);
    EXPECT_EQ(b.min[0], 1000.f);
    EXPECT_EQ(b.max[2], -1000.f);
    b = PointBounds(pts, 3);
    EXPECT_FLOAT_EQ(b.min[0], -0.4f);
    EXPECT_FLOAT_EQ(b.max[0], 0.2f);
    EXPECT_FLOAT_EQ(b.min[1], -0.2f);
    EXPECT_FLOAT_EQ(b.max[1], 0.5f);
    EXPECT_FLOAT_EQ(b.min[2], -0.6f);
    EXPECT_FLOAT_EQ(b.max[2], 0.3f);
    b = PointBounds(pts, -3);
    EXPECT_EQ(b.min[1], 1000.f);
}

} // namespace
