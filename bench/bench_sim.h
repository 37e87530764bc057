#pragma once
// The start of the CPU benches: tarvik-sim on a pseudo-terminal and the
// program's connection to it, each failure said on stderr.
#include "device/connection.h"
#include "tests/support/child_process.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Starts sim on link with the options and connects at baud (30 ms
// transaction time-out, device 1); false after saying what failed.
inline bool StartBenchSim(CSimProcess& sim, const std::string& link, const std::vector<std::string>& options,
                          int32_t baud) {
    if (!sim.Start(link, options)) {
        std::fprintf(stderr, "tarvik-sim: %s\n", sim.Error().c_str());
        return false;
    }
    if (!ConnectDevice(link.c_str(), baud, 30, 1, nullptr)) {
        std::fprintf(stderr, "cannot connect to tarvik-sim\n");
        return false;
    }
    return true;
}
