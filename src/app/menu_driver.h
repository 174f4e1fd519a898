// The top-level menu: its screen and its dispatch table.
#pragma once

#include <string>
#include <vector>

#include "console/menu.h"

// The top screen's table: its lines above the status line and every key of the top level
// (2 to 7 are not listed on the screen).
console::Menu topMenu();

// The status of the top screen after a flow was ended by Ctrl-C.
inline constexpr const char* kInterruptedStatus =
    "APPLICATION STATUS= Interrupted by Ctrl-C, Waiting for user input";

// Runs one pass of the top menu: draw, wait for a key, dispatch it. (The driver repeats it.)
// A flow whose command dies of Ctrl-C ends there: the pass returns to the top screen, which
// then shows kInterruptedStatus, in the folder it started from.
void runTopMenuOnce();

// The launch command lines of key "3" for the given terminal names, program path and whether
// that program exists (in order of running).
std::vector<std::string> walletLaunchCommands(const std::string& currentTerminal,
                                              const std::string& defaultTerminal,
                                              const std::string& walletProgram, bool walletExists);

// The program key "3" starts: HOME/wallet/wallet when it is a program, else the program of the
// installation this run made or picked last (when there is one), else HOME/wallet/wallet.
std::string programToLaunch(const std::string& homeProgram, bool homeProgramRuns,
                            const std::string& installedProgram);

// The menu driver: runs the top menu until the program ends.
void PROCESSDISPLAYWALLETINSTALLATIONMENU();
// Top menu key "3": starts the wallet in a terminal.
void launchWallet();
