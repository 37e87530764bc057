// Number display with automatic precision and the window position clamp.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <limits>

#include "app/display_math.h"

TEST(FormatAutoPrecision, FormatLadderAndStripping) {
    EXPECT_EQ(FormatAutoPrecision(0.0), "0.0");            // "%.9f", stripped to one zero
    EXPECT_EQ(FormatAutoPrecision(0.000001), "0.000001");  // exactly 1e-6 takes "%.8f"
    EXPECT_EQ(FormatAutoPrecision(9.999), "10.0");         // "%.2f" rounds up to 10.00
    EXPECT_EQ(FormatAutoPrecision(10.0), "10.0");
    EXPECT_EQ(FormatAutoPrecision(12.5), "12.5");
    EXPECT_EQ(FormatAutoPrecision(-0.25), "-0.25");         // sign printed, magnitude chooses
    EXPECT_EQ(FormatAutoPrecision(0.5), "0.5");
    EXPECT_EQ(FormatAutoPrecision(0.0123), "0.0123");
    EXPECT_EQ(FormatAutoPrecision(100.0), "100.0");         // zeros before the point stay
}

TEST(FormatAutoPrecision, LargeValuesSwitchToGeneralFormatAboveOneMillion) {
    EXPECT_EQ(FormatAutoPrecision(1e6), "1000000.0");
    EXPECT_EQ(FormatAutoPrecision(2e6), "2e+06");           // no '.', left unchanged
    EXPECT_EQ(FormatAutoPrecision(1234567.0), "1.23457e+06");
    EXPECT_EQ(FormatAutoPrecision(-2e6), "-2e+06");
    // The largest double still fits the buffer ("%g").
    EXPECT_EQ(FormatAutoPrecision(std::numeric_limits<double>::max()), "1.79769e+308");
}

TEST(FormatAutoPrecision, ExponentKeepsItsZeros) {
    EXPECT_EQ(FormatAutoPrecision(1.5e10), "1.5e+10");
    EXPECT_EQ(FormatAutoPrecision(-2.5e100), "-2.5e+100");
}

TEST(FormatAutoPrecision, PointUnderAGermanLocale) {
    const std::string old = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 missing (scripts/setup makes it)";
    const std::string small = FormatAutoPrecision(1.25), large = FormatAutoPrecision(2.5e6);
    std::setlocale(LC_ALL, old.c_str());
    EXPECT_EQ(small, "1.25");
    EXPECT_EQ(large, "2.5e+06");
}

TEST(FormatAutoPrecision, NotANumberAndInfinity) {
    const std::string nan = FormatAutoPrecision(std::nan(""));
    EXPECT_NE(nan.find("nan"), std::string::npos) << nan;  // "%.1f" of NaN
    EXPECT_EQ(FormatAutoPrecision(std::numeric_limits<double>::infinity()), "inf");
}

TEST(ClampPosition, OffScreenComesBackOnePixelInside) {
    int x = 5000, y = 4000;
    ClampPosition(x, y, 300, 200, 0, 0, 1920, 1080);
    EXPECT_EQ(x, 1920 - 300 - 1);
    EXPECT_EQ(y, 1080 - 200 - 1);

    x = -5000;
    y = -10;
    ClampPosition(x, y, 300, 200, 0, 0, 1920, 1080);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);

    x = 100;
    y = 100;  // already on screen: unchanged
    ClampPosition(x, y, 300, 200, 0, 0, 1920, 1080);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
}

TEST(ClampPosition, VirtualScreenWithNegativeOrigin) {
    int x = -3000, y = 50;
    ClampPosition(x, y, 400, 300, -1280, 0, 3200, 1080);
    EXPECT_EQ(x, -1280);
    EXPECT_EQ(y, 50);
    x = 3000;
    ClampPosition(x, y, 400, 300, -1280, 0, 3200, 1080);
    EXPECT_EQ(x, -1280 + 3200 - 400 - 1);
}

TEST(ClampPosition, WindowLargerThanScreenEndsAtUpperLimit) {
    int x = 10, y = 10;
    ClampPosition(x, y, 2000, 1200, 0, 0, 1920, 1080);
    EXPECT_EQ(x, 1920 - 2000 - 1);  // left of the origin
    EXPECT_EQ(y, 1080 - 1200 - 1);
}

TEST(ClampPosition, ExtremeStoredValuesDoNotOverflow) {
    int x = INT_MAX, y = INT_MIN;
    ClampPosition(x, y, 300, 200, 0, 0, 1920, 1080);
    EXPECT_EQ(x, 1619);
    EXPECT_EQ(y, 0);
}
