#pragma once
// Pieces the window tests share when they run against tarvik-sim: letting
// the Qt event loop run, and starting the simulator with its request log and
// connecting to it (child_process.h reads its logs).
#include "tests/e2e/child_process.h"

#include <cstdint>
#include <string>
#include <vector>

// Processes Qt events for at least ms milliseconds.
void Pump(int ms);

// Starts sim on link with "--log <log>" followed by extra (waiting at most
// startS seconds for it) and connects at baud with the given transaction
// time-out. False when the simulator did not start (sim.Error() says why)
// or the connection failed.
bool StartSimAndConnect(CSimProcess& sim, const std::string& link, const std::string& log,
                        const std::vector<std::string>& extra, int32_t timeoutMs, int32_t baud = 115200,
                        double startS = 20);
