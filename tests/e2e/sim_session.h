#pragma once
// Pieces the window tests share when they run against tarvik-sim: letting
// the Qt event loop run, reading the simulator's logs, and starting the
// simulator with its request log and connecting to it.
#include "tests/e2e/child_process.h"

#include <cstdint>
#include <string>
#include <vector>

// Processes Qt events for at least ms milliseconds.
void Pump(int ms);

// The whole file; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// The lines of the text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// Starts sim on link with "--log <log>" followed by extra (waiting at most
// startS seconds for it) and connects at baud with the given transaction
// time-out. False when the simulator did not start (sim.Error() says why)
// or the connection failed.
bool StartSimAndConnect(CSimProcess& sim, const std::string& link, const std::string& log,
                        const std::vector<std::string>& extra, int32_t timeoutMs, int32_t baud = 115200,
                        double startS = 20);
