// Text-field number parsing in the C locale and checked float-to-int conversion.
#include "app/number_parse.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {
constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();
}  // namespace

TEST(NumberParse, WholeTextMustBeTheNumber) {
    EXPECT_EQ(ParseInteger(" -42 ", kI32Min, kI32Max).value, -42);
    EXPECT_TRUE(ParseInteger("\t+7\r\n", kI32Min, kI32Max).ok());
    for (const char* bad : {"", "  ", "12a", "1 2", "-", "+-1", "0x10", "1.5"})
        EXPECT_EQ(ParseInteger(bad, kI32Min, kI32Max).status, ParseStatus::NotANumber) << bad;
}

TEST(NumberParse, DecimalKeepsLeadingZerosDecimal) {
    EXPECT_EQ(ParseInteger("010", 0, 100).value, 10);
}

TEST(NumberParse, PrefixedBases) {
    const auto P = [](const char* t) { return ParseInteger(t, kI32Min, kI32Max, NumberBase::Prefixed); };
    EXPECT_EQ(P("0x1F").value, 31);
    EXPECT_EQ(P("-0X10").value, -16);
    EXPECT_EQ(P("0b101").value, 5);
    EXPECT_EQ(P("017").value, 15);
    EXPECT_EQ(P("0").value, 0);
    for (const char* bad : {"0x", "0b", "0b2", "08", "0xg"})
        EXPECT_EQ(P(bad).status, ParseStatus::NotANumber) << bad;
}

TEST(NumberParse, RangeIsCheckedAndClampedToTheNearerEnd) {
    const IntParse high = ParseInteger("60001", 1, 60000);
    EXPECT_EQ(high.status, ParseStatus::OutOfRange);
    EXPECT_EQ(high.value, 60000);
    EXPECT_EQ(ParseInteger("0", 1, 60000).value, 1);
    // Far beyond 64 bits, either sign: still a range failure, never a wrap.
    EXPECT_EQ(ParseInteger("99999999999999999999999", kI32Min, kI32Max).value, kI32Max);
    EXPECT_EQ(ParseInteger("-99999999999999999999999", kI32Min, kI32Max).value, kI32Min);
    EXPECT_EQ(ParseInteger("-9223372036854775808", INT64_MIN, 0).value, INT64_MIN);
    EXPECT_TRUE(ParseInteger("-2147483648", kI32Min, kI32Max).ok());
    EXPECT_FALSE(ParseInteger("2147483648", kI32Min, kI32Max).ok());
}

TEST(NumberParse, UnsignedFieldRefusesASign) {
    uint32_t u = 5;
    EXPECT_FALSE(ParseUInt32("-1", u));
    EXPECT_FALSE(ParseUInt32("+1", u));
    EXPECT_EQ(u, 5u);
    EXPECT_TRUE(ParseUInt32("4294967295", u));
    EXPECT_EQ(u, 4294967295u);
    int32_t i = 0;
    EXPECT_TRUE(ParseInt32("0x7fffffff", i, NumberBase::Prefixed));
    EXPECT_EQ(i, kI32Max);
}

TEST(NumberParse, LeadingDoubleLikeAtof) {
    bool ok = false;
    EXPECT_DOUBLE_EQ(LeadingDouble("  12.5 deg", &ok), 12.5);
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(LeadingDouble("-.5e1x"), -5.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("+3"), 3.0);
    EXPECT_DOUBLE_EQ(LeadingDouble("1e"), 1.0);  // an exponent without digits is not part of the number
    for (const char* bad : {"", "abc", ".", "-", "nan", "inf", "- 1"}) {
        EXPECT_EQ(LeadingDouble(bad, &ok), 0.0) << bad;
        EXPECT_FALSE(ok) << bad;
    }
}

TEST(NumberParse, HugeAndTinyStayFinite) {
    EXPECT_EQ(LeadingDouble("1e999"), std::numeric_limits<double>::max());
    EXPECT_EQ(LeadingDouble("-1e999"), -std::numeric_limits<double>::max());
    EXPECT_EQ(LeadingDouble("1e-999"), 0.0);
    double d = 7;
    EXPECT_FALSE(ParseDouble("1e999", d));
    EXPECT_FALSE(ParseDouble("1.5x", d));
    EXPECT_EQ(d, 7);
    EXPECT_TRUE(ParseDouble(" 1.5 ", d));
    EXPECT_EQ(d, 1.5);
}

TEST(NumberParse, PointIsDotWhateverTheLocale) {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "locale de_DE.UTF-8 not installed";
    const double comma = LeadingDouble("1,5");
    const double point = LeadingDouble("1.5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(point, 1.5);
    EXPECT_EQ(comma, 1.0);
}

TEST(NumberParse, CheckedDoubleToInt) {
    EXPECT_EQ(DoubleToInt32(std::nan("")), 0);
    EXPECT_EQ(DoubleToInt32(1e300), kI32Max);
    EXPECT_EQ(DoubleToInt32(-1e300), kI32Min);
    EXPECT_EQ(DoubleToInt32(std::numeric_limits<double>::infinity()), kI32Max);
    EXPECT_EQ(DoubleToInt32(-2147483648.9), kI32Min);
    EXPECT_EQ(DoubleToInt32(-2.9), -2);
    EXPECT_EQ(DoubleToInt64(1e30), INT64_MAX);
    EXPECT_EQ(DoubleToInt64(-1e30), INT64_MIN);
    EXPECT_EQ(ClampToInt32(int64_t(1) << 40), kI32Max);
    EXPECT_EQ(ClampToInt32(-(int64_t(1) << 40)), kI32Min);
}
