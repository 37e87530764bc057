#pragma once
// The object-access frame codec, shared by CObjectAccess, the module simulator
// and the test tools: frame layout, requests (built by the PC, parsed by the
// module), the check of a reply, and the 4-byte data elements.
//
//   0 STX | 1 LEN | 2 device id | 3 command | 4-5 index (LE) | 6 sub-index |
//   7.. 4*N data bytes | checksum | ETX
// LEN = frame length - 4 = 5 + 4*N; checksum = 8-bit sum of the LEN bytes from 2.
// Command = operation (high nibble) | type code (low nibble). A request
// always carries one element (13 bytes).
#include <cstddef>
#include <cstdint>
#include <cstring>

// Object type codes: the low nibble of the command byte and the width and kind
// of the caller's variable.
enum : uint8_t {
    OBJ_INT8 = 0,
    OBJ_INT16 = 4,
    OBJ_INT32 = 8,
    OBJ_FLOAT32 = 12,
};

namespace frame {

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t OP_SET_REQUEST = 0x10;
constexpr uint8_t OP_SET_REPLY = 0x20;
constexpr uint8_t OP_GET_REQUEST = 0x30;
constexpr uint8_t OP_GET_REPLY = 0x40;
constexpr int kRequestLength = 13;
constexpr int kReceiveBudget = 253;   // 9 + 4 * 61: the longest reply we take
constexpr int kMaxReplyElements = 61;

inline constexpr size_t Length(int elements) { return 9 + 4 * static_cast<size_t>(elements); }

// Elements in a frame of n bytes.
inline constexpr int Elements(size_t n) { return n < 9 ? 0 : static_cast<int>((n - 9) / 4); }

inline bool IsKnownType(uint8_t type) {
    return type == OBJ_INT8 || type == OBJ_INT16 || type == OBJ_INT32 || type == OBJ_FLOAT32;
}

inline uint8_t Checksum(const uint8_t* bytes, size_t count) {
    uint32_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum);
}

// Writes a frame of `elements` 4-byte data elements into `out` (room for
// Length(elements) bytes) and returns its length.
inline size_t Build(uint8_t* out, uint8_t deviceId, uint8_t command, uint16_t index, uint8_t subIndex,
                    const uint8_t* data, int elements) {
    const size_t n = Length(elements);
    out[0] = STX;
    out[1] = static_cast<uint8_t>(n - 4);
    out[2] = deviceId;
    out[3] = command;
    out[4] = static_cast<uint8_t>(index & 0xFF);
    out[5] = static_cast<uint8_t>(index >> 8);
    out[6] = subIndex;
    for (size_t i = 0; i < 4 * static_cast<size_t>(elements); ++i) out[7 + i] = data[i];
    out[n - 2] = Checksum(out + 2, n - 4);
    out[n - 1] = ETX;
    return n;
}

// ---- Elements: 4 bytes on the wire whatever the type ----

// One element read by a type code: int8 from its first byte, int16 from its
// first two, int32 from all four (all signed), float32 as IEEE single; any
// other code reads as 0.
inline double ReadElement(uint8_t type, const uint8_t* e) {
    const uint32_t u = static_cast<uint32_t>(e[0]) | (static_cast<uint32_t>(e[1]) << 8) |
                       (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[3]) << 24);
    switch (type) {
    case OBJ_INT8: return static_cast<int8_t>(e[0]);
    case OBJ_INT16: return static_cast<int16_t>(static_cast<uint16_t>(u & 0xFFFF));
    case OBJ_INT32: return static_cast<int32_t>(u);
    case OBJ_FLOAT32: {
        float f;
        std::memcpy(&f, &u, sizeof f);
        return f;
    }
    default: return 0.0;
    }
}

// One element written from the caller's variable, 1, 2 or 4 bytes wide as
// the type says: its value little-endian in the low bytes, the bytes above
// it 0 (int8 -1 is FF 00 00 00); any other code writes 0.
inline void WriteElement(uint8_t type, const void* variable, uint8_t* e) {
    uint32_t u = 0;
    if (type == OBJ_INT8) {
        uint8_t v;
        std::memcpy(&v, variable, 1);
        u = v;
    } else if (type == OBJ_INT16) {
        uint16_t v;
        std::memcpy(&v, variable, 2);
        u = v;
    } else if (type == OBJ_INT32 || type == OBJ_FLOAT32) {
        std::memcpy(&u, variable, 4);
    }
    for (int i = 0; i < 4; ++i) e[i] = static_cast<uint8_t>(u >> (8 * i));
}

// ---- Requests ----

struct Request {
    uint8_t deviceId = 0;
    uint8_t op = 0;         // OP_SET_REQUEST or OP_GET_REQUEST
    uint8_t type = 0;       // type code
    uint16_t index = 0;
    uint8_t subIndex = 0;   // 0 for a set
    uint8_t element[4] = {};  // a set: the value; a get: the count wanted in byte 0
    bool operator==(const Request&) const = default;
};

inline void BuildRequest(const Request& r, uint8_t out[kRequestLength]) {
    Build(out, r.deviceId, static_cast<uint8_t>(r.op | (r.type & 0x0F)), r.index, r.subIndex, r.element, 1);
}

// The module's side: whether the 13 bytes at `f` are a request frame (STX,
// LEN 9, checksum, ETX; the operation is not judged here) and its fields.
inline bool ParseRequest(const uint8_t* f, Request* out) {
    if (f[0] != STX || f[1] != kRequestLength - 4 || f[12] != ETX || f[11] != Checksum(f + 2, 9)) return false;
    out->deviceId = f[2];
    out->op = f[3] & 0xF0;
    out->type = f[3] & 0x0F;
    out->index = static_cast<uint16_t>(f[4] | (f[5] << 8));
    out->subIndex = f[6];
    std::memcpy(out->element, f + 7, 4);
    return true;
}

// ---- Replies ----

enum class ReplyFault : uint8_t {
    None,
    Incomplete,    // fewer bytes than a reply or its LEN needs
    Malformed,     // STX, LEN, length, ETX or an operation that is no reply
    BadChecksum,
    OtherRequest,  // a reply, but not to this request (operation, index, sub-index)
};

// Checks n received bytes as the reply to `request`; the device id is not
// compared. A reply passes every test or is refused.
inline ReplyFault CheckReply(const uint8_t* reply, size_t n, const Request& request) {
    if (n < 2) return ReplyFault::Incomplete;
    if (reply[0] != STX) return ReplyFault::Malformed;
    const size_t whole = static_cast<size_t>(reply[1]) + 4;
    if (n < whole) return ReplyFault::Incomplete;
    if (n != whole || n < 13 || (n - 13) % 4 != 0 || reply[n - 1] != ETX) return ReplyFault::Malformed;
    if (reply[n - 2] != Checksum(reply + 2, n - 4)) return ReplyFault::BadChecksum;
    const uint8_t op = reply[3] & 0xF0;
    if (op != OP_SET_REPLY && op != OP_GET_REPLY) return ReplyFault::Malformed;
    if (op != request.op + 0x10 || (reply[4] | (reply[5] << 8)) != request.index || reply[6] != request.subIndex)
        return ReplyFault::OtherRequest;
    return ReplyFault::None;
}

}  // namespace frame
