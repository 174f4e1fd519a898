// Start-up helpers, pure where possible so the tests need no process around them.
#pragma once

#include <string>
#include <string_view>

// The program's file name from its invocation name: "./" dropped, then what follows the last
// "/" ("./setup", "/opt/x/setup" and "setup" all give "setup").
std::string invocationFileName(std::string_view invocation);

// The first terminal emulator of the fixed list whose /usr/bin file exists (platform seam),
// or empty.
std::string detectTerminalEmulator();
