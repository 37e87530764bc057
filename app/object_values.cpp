#include "app/object_values.h"

#include "device/object_access.h"
#include "device/object_dictionary.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::optional<ObjectRef> ResolveObject(const std::string& text) {
    if (text.empty()) return std::nullopt;
    const od::ObjectInfo* info = nullptr;
    ObjectRef ref;
    if (text[0] >= '0' && text[0] <= '9') {
        errno = 0;
        char* end = nullptr;
        unsigned long v = std::strtoul(text.c_str(), &end, text.size() > 1 && (text[1] == 'x' || text[1] == 'X') ? 16 : 10);
        if (errno != 0 || *end != '\0' || v > 0xffff) return std::nullopt;
        ref.index = static_cast<uint16_t>(v);
        info = od::Find(ref.index);
    } else {
        info = od::FindByMnemonic(text);
        if (info == nullptr) return std::nullopt;
        ref.index = info->index;
    }
    if (info != nullptr) {
        ref.type = info->type;
        ref.count = info->count > 0 ? info->count : 1;
        ref.mnemonic = info->mnemonic ? info->mnemonic : "";
    }
    return ref;
}

int TypeCode(const std::string& name) {
    if (name == "int8") return OBJ_INT8;
    if (name == "int16") return OBJ_INT16;
    if (name == "int32") return OBJ_INT32;
    if (name == "float32") return OBJ_FLOAT32;
    return -1;
}

const char* TypeName(uint8_t type) {
    switch (type) {
    case OBJ_INT8: return "int8";
    case OBJ_INT16: return "int16";
    case OBJ_FLOAT32: return "float32";
    default: return "int32";
    }
}

std::string FormatSlot(uint8_t type, uint32_t slot) {
    char text[64];
    if (type == OBJ_FLOAT32) {
        float f;
        std::memcpy(&f, &slot, sizeof f);
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(f));
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(slot));
    }
    return text;
}

bool ParseValue(uint8_t type, const std::string& text, uint32_t* slot) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    if (type == OBJ_FLOAT32) {
        double d = std::strtod(text.c_str(), &end);
        if (errno != 0 || *end != '\0' || !std::isfinite(d) || std::fabs(d) > 3.4028234e38) return false;
        float f = static_cast<float>(d);
        std::memcpy(slot, &f, sizeof f);
        return true;
    }
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return false;
    long long lo = INT32_MIN, hi = INT32_MAX;
    if (type == OBJ_INT8) lo = -128, hi = 127;
    if (type == OBJ_INT16) lo = -32768, hi = 32767;
    if (v < lo || v > hi) return false;
    // The variable's own width: SetObjectXXX reads 1, 2 or 4 bytes of it, so
    // the bytes above are zero and nothing is sign-extended.
    uint32_t s = 0;
    if (type == OBJ_INT8) {
        int8_t b = static_cast<int8_t>(v);
        std::memcpy(&s, &b, 1);
    } else if (type == OBJ_INT16) {
        int16_t h = static_cast<int16_t>(v);
        std::memcpy(&s, &h, 2);
    } else {
        int32_t w = static_cast<int32_t>(v);
        std::memcpy(&s, &w, 4);
    }
    *slot = s;
    return true;
}

uint32_t WidenVariable(uint8_t type, uint32_t variable) {
    if (type == OBJ_INT8) {
        int8_t b;
        std::memcpy(&b, &variable, 1);
        return static_cast<uint32_t>(static_cast<int32_t>(b));
    }
    if (type == OBJ_INT16) {
        int16_t h;
        std::memcpy(&h, &variable, 2);
        return static_cast<uint32_t>(static_cast<int32_t>(h));
    }
    return variable;
}
