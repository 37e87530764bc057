#pragma once
// Object-access frame layout, shared by the PC side and the module simulator.
//
//   0 STX | 1 LEN | 2 device id | 3 command | 4-5 index (LE) | 6 sub-index |
//   7.. 4*N data bytes | checksum | ETX
// LEN = frame length - 4 = 5 + 4*N; checksum = 8-bit sum of the LEN bytes from 2.
#include <cstddef>
#include <cstdint>

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

}  // namespace frame
