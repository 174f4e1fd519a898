// The top-level menu: its screen and its dispatch table.
#pragma once

#include <string>
#include <vector>

// The lines of the top screen above the status line.
std::vector<std::string> topMenuLines();

// Runs one pass of the top menu: draw, wait for a key, dispatch it. (The driver repeats it.)
void runTopMenuOnce();

// The launch command lines of key "3" for the given terminal names, program path and whether
// that program exists (in order of running).
std::vector<std::string> walletLaunchCommands(const std::string& currentTerminal,
                                              const std::string& defaultTerminal,
                                              const std::string& walletProgram, bool walletExists);
