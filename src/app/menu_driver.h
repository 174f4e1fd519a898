// The top-level menu: its screen and its dispatch table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/menu.h"

// The top screen's table: its lines above the status line and every key of the top level
// (2 to 7 are not listed on the screen).
console::Menu topMenu();

// The status of the top screen after a flow was ended by Ctrl-C.
inline constexpr const char* kInterruptedStatus =
    "APPLICATION STATUS= Interrupted by Ctrl-C, Waiting for user input";

// Runs one pass of the top menu: draw (with status, when the last pass or start-up left one,
// else the waiting text), wait for a key, dispatch it. Returns the status the
// next pass shows; the driver repeats it. A flow whose command dies of Ctrl-C ends there:
// the pass returns kInterruptedStatus for the top screen, in the folder it started from.
std::optional<std::string> runTopMenuOnce(std::optional<std::string> status = std::nullopt);

// The launch command line of key "3" for the given terminal names and program: in the
// terminal emulator when one was found (the picked name decides the option, -x for
// mate-terminal, else -e; the default name is the one started), else the program itself.
// Exactly one command: the wallet starts once.
std::string walletLaunchCommand(const std::string& currentTerminal,
                                const std::string& defaultTerminal,
                                const std::string& walletProgram);

// The program that the installation recorded in folder names, when it is a program: the
// application path of folder/wallet.cfg + "/wallet", else the wallet program listed in the
// receipt folder/wallet.receipt, else (an installation laid straight into its path, whose
// record names only that path) the installation path of wallet.cfg + "/wallet". Empty when
// none of them is.
std::string recordedProgram(const std::string& folder);

// The program key "3" starts, in this order: the program of the installation this run made,
// the wallet picked last, the installation recorded at the installation path (in the path
// itself or in its wallet folder, see recordedProgram), and last home/wallet/wallet. Each only
// when it is a program; empty when none is.
std::string programToLaunch(const std::string& installedThisRun, const std::string& pickedLast,
                            const std::string& installationPath, const std::string& home);

// The status of the top screen when key "3" found no wallet program.
inline constexpr const char* kNoWalletStatus =
    "APPLICATION STATUS= NO WALLET PROGRAM FOUND, install one first (key 1)";

// Runs the top menu until the program ends, its first drawing with firstStatus (start-up's,
// when it left one).
[[noreturn]] void runTopMenu(std::string firstStatus);

// The menu driver: runs the top menu until the program ends.
void PROCESSDISPLAYWALLETINSTALLATIONMENU();
// Top menu key "3": starts the wallet in a terminal, or says there is none.
console::Next launchWallet();
