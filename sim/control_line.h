#pragma once
// The simulator's control lines that act on the module model (the FIFO of
// --control, and the start options that mean the same). docs/simulator.md
// lists them.
#include "sim/module_model.h"

#include <string>

namespace sim {

// Applies one line at time `now`; false (with the reason in *error) when the
// line is not understood. Lines about the ports ("unplug") are the caller's.
bool ApplyControlLine(ModuleModel& module, const std::string& line, double now, std::string* error);

// An object named by hex ("0x1f"), decimal ("31") or mnemonic ("sp").
bool ParseObjectIndex(const std::string& text, uint16_t* index);

}  // namespace sim
