#pragma once
// Start-up marks for the benches: with TARVIK_STARTUP_MARKS set in the
// environment, the first time each named moment is reached the program writes
// one line "startup-mark NAME MS" to stderr, MS being CLOCK_MONOTONIC in
// milliseconds (the same clock in every process, so a bench that started the
// program subtracts its own start time). Without the variable nothing is
// written and a mark costs one flag test.
namespace startup {

// Writes the mark `name` once per process (later calls with the same name
// do nothing). `name` must be a string literal or otherwise outlive the process.
void Mark(const char* name);

// Monotonic clock in milliseconds, as the marks print it.
double NowMs();

}  // namespace startup
