// Fuzz target: the sync receive of the Sync data page (CSyncReceiver) over a
// fake port. The input is a script, one op byte each (low nibble the op, high
// nibble its parameter): bytes arrive (raw, CR, LF, CR LF, or 1 to 16 KiB of a
// repeated pattern, so chunks of any size and CR/LF anywhere), display steps
// (also with no port), start steps, hang-ups, failing or short reads, failing
// reopens, the clock moving on. Every step moves the clock by 10 ms. Checked
// against a model of the rules besides memory safety and UB: which steps show
// their chunk (the skip count after a start), the bytes for the file are
// exactly the step's reads, the text is those bytes minus only an LF whose CR
// ended the chunk shown before, reads stay within READ_MAX + 1, the text is
// terminated inside the buffer, the reopen comes at once and at most once a
// second.
#include "device/sync_receiver.h"
#include "fuzz_sync_port.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "sync-receive oracle: %s\n", what);
    std::abort();
}

void Require(bool ok, const char* what) {
    if (!ok) Fail(what);
}

constexpr int32_t kReadMax = CSyncReceiver::READ_MAX;

struct Harness {
    int64_t nowMs = 0;
    SyncFuzzPort port;
    CSyncReceiver rx{[this] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(nowMs)); }};
    // The model.
    int32_t skip = 0;
    bool shownEndsInCr = false;
    std::optional<int64_t> lastReopen;

    void Step(bool display, bool noPort) {
        nowMs += 10;
        port.BeginStep();
        const bool hung = port.HungOrClosed();
        CSyncReceiver::Chunk chunk;
        const bool shown = rx.Receive(noPort ? nullptr : &port, display, &chunk);
        if (noPort) {
            Require(!shown && !port.queueAsked && port.reads.empty() && port.closes == 0, "no port was touched");
            Require(rx.ChunksToSkip() == skip, "a step without a port changed the skip count");
            return;
        }
        if (!display) {
            skip = CSyncReceiver::SKIP_CHUNKS;
            shownEndsInCr = false;
        }
        // A hung-up or closed port: reopened at once, then at most once a second.
        if (hung) {
            const bool due = !lastReopen || nowMs - *lastReopen >= 1000;
            Require(port.closes == (due ? 1 : 0), due ? "a hung-up port was not reopened" : "reopened within a second");
            Require(port.reads.empty(), "read from a hung-up port");
            if (due) {
                lastReopen = nowMs;
                shownEndsInCr = false;
            }
        } else {
            Require(port.closes == 0, "an open port was closed");
        }
        // Reads: what is queued up to READ_MAX, then one byte when that ended in CR.
        const auto& reads = port.reads;
        Require(reads.size() <= 2, "more than two reads in a step");
        if (port.lastQueueReport <= 0) Require(reads.empty(), "read with nothing queued");
        int32_t first = 0;
        if (!reads.empty()) {
            Require(reads[0].asked == std::min(port.lastQueueReport, kReadMax), "the first read asked for the wrong count");
            first = std::max(reads[0].got, 0);
            const bool endsInCr = first > 0 && port.readBytes[size_t(first) - 1] == '\r';
            Require(endsInCr == (reads.size() == 2), "the extra read does not follow a final CR");
            if (reads.size() == 2) Require(reads[1].asked == 1, "the extra read is not one byte");
        }
        const std::vector<uint8_t>& got = port.readBytes;
        Require(got.size() <= size_t(kReadMax) + 1, "more than READ_MAX + 1 bytes in a step");

        bool expectShown = false;
        if (display && !got.empty()) {
            if (skip > 0) {
                --skip;
                shownEndsInCr = false;
            } else {
                expectShown = true;
            }
        } else {
            if (!got.empty()) shownEndsInCr = false;
            if (skip > 0) --skip;
        }
        Require(shown == expectShown, expectShown ? "a chunk after the skip was not shown" : "a chunk was shown that is thrown away");
        Require(rx.ChunksToSkip() == skip, "the skip count is off");
        if (!shown) return;

        Require(chunk.length == int32_t(got.size()) && std::memcmp(chunk.bytes, got.data(), got.size()) == 0,
                "the file bytes are not the bytes read");
        const int32_t drop = shownEndsInCr && got[0] == '\n' ? 1 : 0;
        Require(chunk.text == chunk.bytes + drop && chunk.textLength == chunk.length - drop,
                drop ? "the LF of a split pair is in the text" : "the text lost a byte");
        Require(chunk.text[chunk.textLength] == '\0', "the text is not terminated");
        shownEndsInCr = got.back() == '\r';
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness h;
    std::vector<uint8_t> big;
    size_t i = 0;
    int steps = 0;
    while (i < size && steps < 1000) {
        const uint8_t op = data[i++];
        const int param = op >> 4;
        switch (op & 0x0f) {
        case 0: {  // raw bytes: a count, then the bytes
            if (i >= size) break;
            const size_t count = data[i++];
            const size_t n = std::min(count, size - i);
            h.port.Arrive(data + i, n);
            i += n;
            break;
        }
        case 1: h.port.Arrive(reinterpret_cast<const uint8_t*>("\r"), 1); break;
        case 2: h.port.Arrive(reinterpret_cast<const uint8_t*>("\n"), 1); break;
        case 3: h.port.Arrive(reinterpret_cast<const uint8_t*>("\r\n"), 2); break;
        case 4: {  // (param + 1) KiB of the next up to 8 bytes repeated
            const size_t k = std::min<size_t>(8, size - i);
            if (k == 0) break;
            big.resize(size_t(param + 1) * 1024);
            const size_t first = std::min(k, big.size());
            std::memcpy(big.data(), data + i, first);
            for (size_t have = first; have < big.size(); have *= 2)
                std::memcpy(big.data() + have, big.data(), std::min(have, big.size() - have));
            i += k;
            h.port.Arrive(big.data(), big.size());
            break;
        }
        case 5: h.Step(true, param & 1); ++steps; break;
        case 6: h.Step(false, false); ++steps; break;
        case 7: h.port.HangUp(); break;
        case 8: h.port.FailNextRead(); break;
        case 9: h.port.LimitNextRead(param * 700); break;
        case 10: h.port.SetOpenFails(param & 1); break;
        case 11: h.nowMs += (param + 1) * 100; break;
        default: h.Step(true, false); ++steps; break;
        }
    }
    return 0;
}
