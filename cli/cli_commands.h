#pragma once
// The commands of tarvik-cli. Each returns the process exit status:
// 0 success, 1 device failure (one line on stderr says what failed), 2 usage
// error (and for diff a bad file), 3 diff found differences.
#include "cli/cli_options.h"

// Connects as the options say (unless the command needs no module), runs the
// command and disconnects.
int RunCliCommand(const CliOptions& options);

// Asks a running watch or stream to stop (called from the SIGINT handler;
// only sets an atomic flag).
void RequestCliStop();
