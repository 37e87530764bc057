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

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "object-access oracle: %s\n", what);
    std::abort();
}

// The frame a successful call must have taken: it starts at the first STX
// that arrived after the request, is LEN + 4 bytes long and passes the
// reply check for the request. A success without such a frame aborts.
const uint8_t* TakenFrame(const std::vector<uint8_t>& s, const frame::Request& request, size_t* n) {
    size_t p = 0;
    while (p < s.size() && s[p] != frame::STX) ++p;
    if (p + 2 > s.size()) Fail("success without a frame start");
    *n = static_cast<size_t>(s[p + 1]) + 4;
    if (p + *n > s.size()) Fail("success on a short frame");
    if (frame::CheckReply(s.data() + p, *n, request) != frame::ReplyFault::None) Fail("success on a bad frame");
    return s.data() + p;
}

// The element as the caller's type when the reply has that same type; false
// for the other combinations (not checked here).
bool SameTypeValue(uint8_t type, uint8_t replyType, const uint8_t* e, uint32_t* slot) {
    if (type != replyType) return false;
    const double v = frame::ReadElement(type, e);
    if (type != OBJ_FLOAT32) {
        *slot = static_cast<uint32_t>(static_cast<int32_t>(v));
        return true;
    }
    if (v != v) return false;  // a NaN's payload need not survive
    std::memcpy(slot, e, 4);
    return true;
}

constexpr uint32_t kUntouched = 0xA5A5A5A5u;

}  // namespace

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
            std::memset(value.get(), 0xA5, width);
            const bool ok = access.SetObjectXXX(type, index, value.get());
            if (!ok && access.LastFailure() == AccessFailure::None) Fail("a failed set without a reason");
            uint32_t got = kUntouched;
            std::memcpy(&got, value.get(), width);
            if (!ok && got != kUntouched) Fail("a failed set changed the variable");
            if (ok) {
                size_t n = 0;
                const std::vector<uint8_t> stream = port.StreamBeforeError();
                const uint8_t* f = TakenFrame(stream, {1, frame::OP_SET_REQUEST, type, index, 0, {}}, &n);
                uint32_t want = 0;
                if (SameTypeValue(type, f[3] & 0x0F, f + 7, &want)) {
                    uint32_t expected = kUntouched;
                    std::memcpy(&expected, &want, width);
                    if (got != expected) Fail("a set stored another value than the echo");
                }
            }
        } else {
            // Exactly `count` slots (none for a count of 0 or less).
            const size_t slots = count > 0 ? static_cast<size_t>(count) : 0;
            std::unique_ptr<uint32_t[]> out(slots ? new uint32_t[slots] : nullptr);
            for (size_t i = 0; i < slots; ++i) out[i] = kUntouched;
            const bool ok = access.GetObjectXXX(type, index, sub, out.get(), count);
            if (!ok && access.LastFailure() == AccessFailure::None) Fail("a failed get without a reason");
            size_t stored = 0;
            if (ok) {
                size_t n = 0;
                const std::vector<uint8_t> stream = port.StreamBeforeError();
                const uint8_t* f = TakenFrame(stream, {1, frame::OP_GET_REQUEST, type, index, sub, {}}, &n);
                stored = std::min(slots, static_cast<size_t>(frame::Elements(n)));
                for (size_t i = 0; i < stored; ++i) {
                    uint32_t want = 0;
                    if (SameTypeValue(type, f[3] & 0x0F, f + 7 + 4 * i, &want) && out[i] != want)
                        Fail("a get stored another value than the reply's");
                }
            }
            for (size_t i = stored; i < slots; ++i)
                if (out[i] != kUntouched) Fail("a get wrote a slot it had no element for");
        }
        // Past the back-off, and reopen a port the last exchange lost.
        clock += 1001 + (flags >> 3);
        port.EnsureOpen();
    }
    return 0;
}
