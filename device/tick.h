#pragma once
// Millisecond tick counts: CLOCK_MONOTONIC as unsigned 32-bit values, so the
// wrap-around arithmetic of the back-off (now - mark, unsigned) holds.
#include <cstdint>
#include <functional>

uint32_t GetTickCountMs();

// A source of millisecond ticks. The protocol takes one so tests can drive the
// back-off through a 32-bit wrap without sleeping.
using TickSource = std::function<uint32_t()>;
