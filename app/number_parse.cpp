#include "app/number_parse.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char* SkipBlanks(const char* p, const char* end) {
    while (p != end && IsBlank(*p)) ++p;
    return p;
}

// Value of one digit in the given radix, or -1.
int DigitValue(char c, int radix) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    return d < radix ? d : -1;
}

// The number pattern at p (no sign): true when a decimal floating-point
// number starts there, that is a digit, or a point followed by a digit.
bool StartsDecimalNumber(const char* p, const char* end) {
    if (p == end) return false;
    if (IsDigit(*p)) return true;
    return *p == '.' && p + 1 != end && IsDigit(p[1]);
}

// For a number text whose value lies beyond the double range either way:
// true when its magnitude is huge (overflow), false when tiny (underflow).
bool MagnitudeIsHuge(const char* p, const char* end) {
    long long order = 0;
    while (p != end && *p == '0') ++p;
    long long intDigits = 0;
    while (p != end && IsDigit(*p)) { ++intDigits; ++p; }
    if (p != end && *p == '.') {
        ++p;
        if (intDigits == 0) {
            long long zeros = 0;
            while (p != end && *p == '0') { ++zeros; ++p; }
            order = -zeros;
        }
        while (p != end && IsDigit(*p)) ++p;
    }
    if (intDigits > 0) order = intDigits;
    long long exp = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool neg = false;
        if (p != end && (*p == '+' || *p == '-')) neg = *p++ == '-';
        while (p != end && IsDigit(*p)) {
            if (exp < 1000000000LL) exp = exp * 10 + (*p - '0');
            ++p;
        }
        if (neg) exp = -exp;
    }
    return order + exp > 0;
}

// The decimal floating-point number at [p, end) after blanks and an
// optional sign. Returns the end of the number, or nullptr when none starts
// there. overflow is set when the magnitude is beyond the double range.
const char* ScanDouble(const char* p, const char* end, double& value, bool& overflow) {
    overflow = false;
    p = SkipBlanks(p, end);
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (!StartsDecimalNumber(p, end)) return nullptr;
    double v = 0.0;
    const auto r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        overflow = MagnitudeIsHuge(p, r.ptr);
        v = overflow ? std::numeric_limits<double>::max() : 0.0;
    } else if (r.ec != std::errc()) {
        return nullptr;
    }
    value = negative ? -v : v;
    return r.ptr;
}

}  // namespace

IntParse ParseInteger(std::string_view text, int64_t min, int64_t max, NumberBase base, bool allowSign) {
    IntParse out;
    const char* p = SkipBlanks(text.data(), text.data() + text.size());
    const char* end = text.data() + text.size();
    while (end != p && IsBlank(end[-1])) --end;
    if (p == end) return out;

    bool negative = false;
    if (*p == '+' || *p == '-') {
        if (!allowSign) return out;
        negative = *p++ == '-';
    }
    int radix = 10;
    if (base == NumberBase::Prefixed && p != end && *p == '0' && end - p > 1) {
        const char c = p[1];
        if (c == 'x' || c == 'X') { radix = 16; p += 2; }
        else if (c == 'b' || c == 'B') { radix = 2; p += 2; }
        else { radix = 8; ++p; }
    }
    if (p == end) return out;  // a sign or a prefix without digits

    uint64_t magnitude = 0;
    bool huge = false;
    const uint64_t limit = std::numeric_limits<uint64_t>::max();
    for (; p != end; ++p) {
        const int d = DigitValue(*p, radix);
        if (d < 0) return out;
        if (magnitude > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(radix)) huge = true;
        else magnitude = magnitude * static_cast<uint64_t>(radix) + static_cast<uint64_t>(d);
    }

    // The signed value, or which side of the range it falls off.
    constexpr uint64_t kMinMagnitude = uint64_t(1) << 63;
    bool below = false, above = false;
    int64_t value = 0;
    if (negative) {
        if (huge || magnitude > kMinMagnitude) below = true;
        else if (magnitude == kMinMagnitude) value = std::numeric_limits<int64_t>::min();
        else value = -static_cast<int64_t>(magnitude);
    } else {
        if (huge || magnitude > kMinMagnitude - 1) above = true;
        else value = static_cast<int64_t>(magnitude);
    }
    if (below || (!above && value < min)) {
        out.status = ParseStatus::OutOfRange;
        out.value = min;
    } else if (above || value > max) {
        out.status = ParseStatus::OutOfRange;
        out.value = max;
    } else {
        out.status = ParseStatus::Ok;
        out.value = value;
    }
    return out;
}

bool ParseInt32(std::string_view text, int32_t& out, NumberBase base) {
    const IntParse r = ParseInteger(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), base);
    if (!r.ok()) return false;
    out = static_cast<int32_t>(r.value);
    return true;
}

bool ParseUInt32(std::string_view text, uint32_t& out, NumberBase base) {
    const IntParse r = ParseInteger(text, 0, std::numeric_limits<uint32_t>::max(), base, false);
    if (!r.ok()) return false;
    out = static_cast<uint32_t>(r.value);
    return true;
}

bool ParseDouble(std::string_view text, double& out) {
    const char* end = text.data() + text.size();
    double v = 0.0;
    bool overflow = false;
    const char* p = ScanDouble(text.data(), end, v, overflow);
    if (!p || overflow) return false;
    if (SkipBlanks(p, end) != end) return false;
    out = v;
    return true;
}

double LeadingDouble(std::string_view text, bool* ok) {
    double v = 0.0;
    bool overflow = false;
    const char* p = ScanDouble(text.data(), text.data() + text.size(), v, overflow);
    if (ok) *ok = p != nullptr;
    return p ? v : 0.0;
}

int32_t DoubleToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483649.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int64_t DoubleToInt64(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (v < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

int32_t ClampToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
