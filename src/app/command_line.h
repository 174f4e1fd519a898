// The installer's command line: no argument runs the menus; --help and --version answer and
// end; anything else is refused before the terminal or any file is touched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class CommandLineAction { Run, Help, Version, Refuse };

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    std::string refused;  // the argument named when refusing
};

// args are the words after the program name.
CommandLine parseCommandLine(const std::vector<std::string_view>& args);

// The commands' part of --help.
std::string commandsUsageText();
// The --help text (also printed after a refusal), ending with a line feed.
std::string usageText();
// "installWalletForLinux <version>" and a line feed.
std::string versionText(std::string_view version);
// The one line that names a refused argument, with its line feed.
std::string refusalLine(std::string_view argument);
// The one line printed when standard input or output is not a terminal.
std::string needsTerminalLine();

// The one line printed when the program was started through sudo or pkexec: the effective
// user is root (euid 0) and sudoUid or pkexecUid (the SUDO_UID and PKEXEC_UID those tools set;
// nullptr when unset) names the user who asked. Empty when it was not: run as the user, or as
// root by other means (a root login, CI, a test sandbox), it goes on.
std::string startedElevatedLine(unsigned euid, const char* sudoUid, const char* pkexecUid);
