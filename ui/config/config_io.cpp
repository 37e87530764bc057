#include "ui/config/config_io.h"

#include "device/connection.h"
#include "device/object_access.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace cfgio {

bool Connected() { return g_pObjectAccess != nullptr; }

bool ReadInt32(uint16_t index, int32_t* out) {
    int32_t v = 0;
    if (!g_pObjectAccess || !g_pObjectAccess->GetObjectXXX(OBJ_INT32, index, 0, &v, 1)) return false;
    *out = v;
    return true;
}

bool ReadFloat(uint16_t index, float* out) {
    float v = 0;
    if (!g_pObjectAccess || !g_pObjectAccess->GetObjectXXX(OBJ_FLOAT32, index, 0, &v, 1)) return false;
    *out = v;
    return true;
}

bool WriteInt32(uint16_t index, int32_t value) {
    return g_pObjectAccess && g_pObjectAccess->SetObjectXXX(OBJ_INT32, index, &value);
}

bool WriteFloat(uint16_t index, float value) {
    return g_pObjectAccess && g_pObjectAccess->SetObjectXXX(OBJ_FLOAT32, index, &value);
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

bool IsBlankText(std::string_view text) {
    for (char c : text)
        if (!IsBlank(c)) return false;
    return true;
}

double LeadingDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when digits follow it ("2e" is 2).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    const std::string number(text.substr(start, i - start));
    // Overflow gives +-HUGE_VAL (infinity), underflow a value near 0: both fine.
    const locale_t c = CLocale();
    return c ? strtod_l(number.c_str(), nullptr, c) : std::strtod(number.c_str(), nullptr);
}

float LimitedFloat(std::string_view text, double lo, double hi) {
    double v = LeadingDecimal(text);
    if (std::isnan(v) || v < lo) v = lo;
    else if (v > hi) v = hi;
    return static_cast<float>(v);
}

int32_t LimitedUnsigned(std::string_view text, int32_t lo, int32_t hi) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    if (b == e) return lo;
    int64_t v = 0;
    for (size_t i = b; i < e; ++i) {
        if (!IsDigit(text[i])) return lo;
        // Saturate well above any limit instead of overflowing.
        if (v <= int64_t(1) << 40) v = v * 10 + (text[i] - '0');
    }
    if (v < lo) return lo;
    if (v > hi) return hi;
    return static_cast<int32_t>(v);
}

}  // namespace cfgio
