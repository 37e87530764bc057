// Fuzz target: the reply receive and validation path of CObjectAccess.
//
// The input is a list of exchanges. Each starts with a 6-byte header:
//   0: bit 0 set (1) or get (0), bits 1-2 the type (int8, int16, int32, float32)
//   1: the caller's element count (signed: negative counts are tried too)
//   2-3: object index (LE), 4: sub-index
//   5: how many of the following bytes already wait in the input queue before
//      the request goes out (stale bytes the drain must drop)
// then chunks "length byte, bytes" that arrive one per wait of the receive
// loop; length 0xFF is a port error at that point and 0xFE ends the exchange
// (the module falls silent). The clock is simulated: each empty wait is 1 ms,
// and between exchanges it jumps past the back-off. The first byte also
// picks the transaction time-out (1-8 ms).
#include "device/frame.h"
#include "device/object_access.h"
#include "fuzz_port.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t clock = 5000;
    FuzzPort port(&clock);
    // A short transaction time-out: the deadline logic is the same for any
    // length, and each simulated millisecond of silence costs a loop turn.
    CObjectAccess access(&port, size ? 1 + data[0] % 8 : 1, 1, [&clock] { return clock; });

    size_t pos = 0;
    for (int exchange = 0; exchange < 8 && pos + 6 <= size; ++exchange) {
        const uint8_t flags = data[pos];
        const int32_t count = static_cast<int8_t>(data[pos + 1]);
        const uint16_t index = static_cast<uint16_t>(data[pos + 2] | (data[pos + 3] << 8));
        const uint8_t sub = data[pos + 4];
        size_t stale = data[pos + 5];
        pos += 6;

        stale = std::min(stale, size - pos);
        port.Reset(data + pos, stale);
        pos += stale;
        while (pos < size) {
            const uint8_t len = data[pos++];
            if (len == 0xFE) break;
            if (len == 0xFF) {
                port.AddError();
                continue;
            }
            const size_t n = std::min<size_t>(len, size - pos);
            port.AddChunk(data + pos, n);
            pos += n;
        }

        static const uint8_t kTypes[4] = {OBJ_INT8, OBJ_INT16, OBJ_INT32, OBJ_FLOAT32};
        const uint8_t type = kTypes[(flags >> 1) & 3];
        if (flags & 1) {
            // The caller's variable is exactly as wide as its type, on the
            // heap, so a write past it is caught.
            const size_t width = type == OBJ_INT8 ? 1 : type == OBJ_INT16 ? 2 : 4;
            std::unique_ptr<uint8_t[]> value(new uint8_t[width]);
            std::memset(value.get(), 0x5A, width);
            access.SetObjectXXX(type, index, value.get());
        } else {
            // Exactly `count` slots (none for a count of 0 or less).
            const size_t slots = count > 0 ? static_cast<size_t>(count) : 0;
            std::unique_ptr<uint32_t[]> out(slots ? new uint32_t[slots] : nullptr);
            access.GetObjectXXX(type, index, sub, out.get(), count);
        }
        // Past the back-off, and reopen a port the last exchange lost.
        clock += 1001 + (flags >> 3);
        port.EnsureOpen();
    }
    return 0;
}
