// The commands for scripts: install, uninstall and scan without the menus. They run the same
// steps as the menus, never draw a screen and never read a key: one line per step on standard
// output, errors on standard error, the exit status 0 (every step done), 1 (a step failed) or
// 2 (a usage error).
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class Verb { Install, Uninstall, Scan };

struct Command {
    Verb verb = Verb::Install;
    std::string path;  // --path DIR (empty: the home folder)
    bool noPackages = false;
    bool allUsers = false;
    bool keepRecord = false;
    bool json = false;
    bool dryRun = false;
    bool quiet = false;
    bool passwordStdin = false;
    std::string user;   // --user NAME (run as root)
    std::string error;  // a usage error: the line that says what is wrong (exit status 2)
};

// True when the first word names a command.
bool isCommandWord(std::string_view word);
// args: the words after the program name, the command's name first.
Command parseCommand(const std::vector<std::string_view>& args);

// Runs the command; returns the exit status. argv0 finds the program's folder.
int runCommandLine(const Command& command, const char* argv0);

// Pieces of the output (pure).
// A value as a JSON string, quotes included: control characters as \u00XX, bytes that are not
// well-formed UTF-8 as U+FFFD.
std::string jsonString(std::string_view text);
// "[ ok ] text", "[FAIL] text", "[skip] text", "[plan] text".
std::string stepLine(std::string_view mark, std::string_view text);
