#include "ui/config/config_io.h"

#include "app/number_parse.h"
#include "device/connection.h"
#include "device/object_access.h"

#include <algorithm>
#include <limits>

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

bool IsBlankText(std::string_view text) {
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') return false;
    return true;
}

double LeadingDecimal(std::string_view text) { return LeadingDouble(text); }

float LimitedFloat(std::string_view text, double lo, double hi) {
    // LeadingDouble is always finite, so the limits hold for every text.
    return static_cast<float>(std::clamp(LeadingDouble(text), lo, hi));
}

int32_t LimitedUnsigned(std::string_view text, int32_t lo, int32_t hi) {
    // Parsed against the whole unsigned range and limited here: a number
    // beyond int64 then stands at the top, however many digits it has.
    const IntParse r = ParseInteger(text, 0, std::numeric_limits<int64_t>::max(), NumberBase::Decimal, false);
    if (r.status == ParseStatus::NotANumber) return lo;
    return static_cast<int32_t>(std::clamp<int64_t>(r.value, lo, hi));
}

}  // namespace cfgio
