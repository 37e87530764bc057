// Text-field number parsing in the C locale and checked float-to-int conversion.
#include "app/number_parse.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {
constexpr int64_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
ParseStatus Status(const char* t, NumberBase b = NumberBase::Decimal) { return ParseInteger(t, kMin, kMax, b).status; }
int64_t Value(const char* t, NumberBase b = NumberBase::Decimal) { return ParseInteger(t, kMin, kMax, b).value; }
}  // namespace

TEST(NumberParse, WholeTextMustBeTheNumber) {
    EXPECT_EQ(Value(" -42\r\n"), -42);
    EXPECT_EQ(Value("010"), 10);  // decimal fields keep leading zeros decimal
    for (const char* bad : {"", " ", "12a", "1 2", "-", "+-1", "0x10", "1.5"})
        EXPECT_EQ(Status(bad), ParseStatus::NotANumber) << bad;
}

TEST(NumberParse, PrefixedBases) {
    const NumberBase P = NumberBase::Prefixed;
    EXPECT_EQ(Value("-0X1f", P), -31);
    EXPECT_EQ(Value("0b101", P), 5);
    EXPECT_EQ(Value("017", P), 15);
    EXPECT_EQ(Value("0", P), 0);
    for (const char* bad : {"0x", "0b2", "08"}) EXPECT_EQ(Status(bad, P), ParseStatus::NotANumber) << bad;
}

TEST(NumberParse, RangeCheckedAndClampedToTheNearerEnd) {
    const IntParse high = ParseInteger("60001", 1, 60000);
    EXPECT_EQ(high.status, ParseStatus::OutOfRange);
    EXPECT_EQ(high.value, 60000);
    EXPECT_EQ(ParseInteger("99999999999999999999999", 1, 60000).value, 60000);  // huge, positive minimum
    EXPECT_EQ(Value("99999999999999999999999"), kMax);  // beyond 64 bits: no wrap
    EXPECT_EQ(Value("-99999999999999999999999"), kMin);
    EXPECT_EQ(Status("-2147483648"), ParseStatus::Ok);
    EXPECT_EQ(Status("2147483648"), ParseStatus::OutOfRange);
    uint32_t u = 5;
    EXPECT_FALSE(ParseUInt32("-1", u));  // an unsigned field takes no sign
    EXPECT_EQ(u, 5u);
}

TEST(NumberParse, LeadingDoubleLikeAtofButFinite) {
    bool ok = false;
    EXPECT_EQ(LeadingDouble("  12.5 deg", &ok), 12.5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(LeadingDouble("+.5e1x"), 5.0);
    EXPECT_EQ(LeadingDouble("1e"), 1.0);
    for (const char* bad : {"abc", ".", "nan", "inf", "- 1"}) {
        EXPECT_EQ(LeadingDouble(bad, &ok), 0.0) << bad;
        EXPECT_FALSE(ok) << bad;
    }
    EXPECT_EQ(LeadingDouble("-1e999"), -std::numeric_limits<double>::max());
    EXPECT_EQ(LeadingDouble("1e-999"), 0.0);
    double d = 7;
    EXPECT_FALSE(ParseDouble("1e999", d));
    EXPECT_FALSE(ParseDouble("1.5x", d));
    EXPECT_TRUE(ParseDouble(" 1.5 ", d));
    EXPECT_EQ(d, 1.5);
}

TEST(NumberParse, PointIsDotWhateverTheLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 not installed";
    const double point = LeadingDouble("1.5"), comma = LeadingDouble("1,5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(point, 1.5);
    EXPECT_EQ(comma, 1.0);
}

TEST(NumberParse, CheckedDoubleToInt) {
    EXPECT_EQ(DoubleToInt32(std::nan("")), 0);
    EXPECT_EQ(DoubleToInt32(1e300), kMax);
    EXPECT_EQ(DoubleToInt32(-HUGE_VAL), kMin);
    EXPECT_EQ(DoubleToInt32(-2.9), -2);
    EXPECT_EQ(DoubleToInt64(1e30), INT64_MAX);
    EXPECT_EQ(ClampToInt32(-(int64_t(1) << 40)), kMin);
}
