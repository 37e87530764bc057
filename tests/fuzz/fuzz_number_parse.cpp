// Fuzz target: the C-locale number parsing of the dialogs' text fields and
// the checked double -> integer conversions (app/number_parse). The input's
// first 18 bytes pick the range [min, max] (two int64), the base and whether
// a sign is allowed; the rest is the text. The text's first 8 bytes are also
// taken as a double's bits for the conversions.
#include "app/number_parse.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "number-parse oracle: %s\n", what);
    std::abort();
}

template <typename T>
void CheckConversion(double v, T got) {
    constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<T>::max());
    if (std::isnan(v)) {
        if (got != 0) Fail("NaN did not give 0");
        return;
    }
    const double t = std::trunc(v);
    if (t <= lo) {
        if (got != std::numeric_limits<T>::min()) Fail("below the range did not give the minimum");
    } else if (t >= hi) {
        // hi rounds up to 2^63 for int64: the maximum is the only answer there.
        if (got != std::numeric_limits<T>::max()) Fail("above the range did not give the maximum");
    } else if (static_cast<double>(got) != t) {
        Fail("a value in range was not truncated toward zero");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 18) return 0;
    int64_t a, b;
    std::memcpy(&a, data, 8);
    std::memcpy(&b, data + 8, 8);
    const int64_t min = a < b ? a : b, max = a < b ? b : a;
    const NumberBase base = (data[16] & 1) ? NumberBase::Prefixed : NumberBase::Decimal;
    const bool allowSign = data[17] & 1;
    const std::string_view text(reinterpret_cast<const char*>(data + 18), size - 18);

    const IntParse p = ParseInteger(text, min, max, base, allowSign);
    switch (p.status) {
    case ParseStatus::Ok:
        if (p.value < min || p.value > max) Fail("Ok outside [min, max]");
        break;
    case ParseStatus::OutOfRange:
        if (p.value != min && p.value != max) Fail("OutOfRange not clamped to an end");
        break;
    case ParseStatus::NotANumber:
        if (p.value != 0) Fail("NotANumber with a value");
        break;
    }

    int32_t i32 = 12345;
    if (!ParseInt32(text, i32, base) && i32 != 12345) Fail("failed ParseInt32 changed its output");
    uint32_t u32 = 54321;
    if (!ParseUInt32(text, u32, base) && u32 != 54321) Fail("failed ParseUInt32 changed its output");

    double d = 0.25;
    if (ParseDouble(text, d)) {
        if (!std::isfinite(d)) Fail("ParseDouble gave a value that is not finite");
        // The shortest exact text of the value reads back to the same value.
        char again[64];
        std::snprintf(again, sizeof again, "%.17g", d);
        double back = 0;
        if (!ParseDouble(again, back) || back != d) Fail("ParseDouble did not read its own value back");
    } else if (d != 0.25) {
        Fail("failed ParseDouble changed its output");
    }
    bool ok = true;
    const double lead = LeadingDouble(text, &ok);
    if (!std::isfinite(lead)) Fail("LeadingDouble gave a value that is not finite");
    if (!ok && lead != 0) Fail("LeadingDouble without a number gave a value");

    // Any bit pattern, NaNs and infinities included (the range bytes when
    // the text is shorter than 8 bytes).
    double bits;
    std::memcpy(&bits, size >= 26 ? data + 18 : data, 8);
    CheckConversion<int32_t>(bits, DoubleToInt32(bits));
    CheckConversion<int64_t>(bits, DoubleToInt64(bits));
    CheckConversion<int32_t>(lead, DoubleToInt32(lead));
    const int32_t c = ClampToInt32(p.value);
    if (p.value < INT32_MIN ? c != INT32_MIN : p.value > INT32_MAX ? c != INT32_MAX : c != p.value)
        Fail("ClampToInt32 wrong");
    return 0;
}
