// Start-up helpers, pure where possible so the tests need no process around them.
#pragma once

#include <string>
#include <string_view>

#include "app/run_setup.h"  // the start-up helpers the tests call

// The first terminal emulator of the fixed list whose /usr/bin file exists (platform seam),
// or empty.
std::string detectTerminalEmulator();

// The start-up sequence (shared state, detection, sudo access, terminal emulator, then the
// menu driver); returns the exit status.
int runInstaller(int argc, char** argv);
