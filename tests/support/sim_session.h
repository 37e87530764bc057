#pragma once
// What the window tests and the window benches share beside the fixture:
// letting the Qt event loop run while tarvik-sim (child_process.h) answers.
#include "tests/support/child_process.h"

// Processes Qt events for at least ms milliseconds.
void Pump(int ms);
