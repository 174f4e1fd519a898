// Running command lines: the plain runner, the elevated runner (the only place that builds a
// sudo command), and the quoting of values placed into command lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "host/platform.h"

// The one place where commands run: through the platform, with the ticker in force (if any)
// called while the command runs, and a run-log line when it ends.
int runShellCommand(const std::string& commandLine, CommandOptions options);

// While a ticker is in force, every command's wait calls it (see CommandOptions::whileRunning):
// the flows turn the spinner, the wallet scan draws its progress. Tickers nest; the innermost
// one is called.
class ScopedCommandTicker {
public:
    explicit ScopedCommandTicker(std::function<int()> tick);
    ~ScopedCommandTicker();
    ScopedCommandTicker(const ScopedCommandTicker&) = delete;
    ScopedCommandTicker& operator=(const ScopedCommandTicker&) = delete;

private:
    std::function<int()> previous_;
};

// Runs a command line through the shell in the current folder; returns its exit status.
// cLocale adds LC_ALL=C for commands whose output the program parses.
int runCommand(const std::string& commandLine, bool cLocale = false);

// Builds the elevated form of a command: "sudo -kS " + kNullInputWrapper + command. The
// password never stands on the command line; runElevated feeds SUDOPASSWORD and a line feed to
// the shell's stdin, which is sudo's. sudo reads that line only when it asks for a password:
// a sudo that does not ask (a NOPASSWD rule, a fingerprint) would leave it to the command,
// which inherits sudo's stdin. So the command runs behind a shell that gives it /dev/null as
// stdin: the password reaches sudo or nobody. The command's own words, redirections and pipes
// stay as they are (the wrapper only adds words between "-kS" and the command).
inline constexpr const char* kNullInputWrapper = "sh -c 'exec \"$@\" </dev/null' sh ";
std::string elevatedCommandLine(std::string_view command);
int runElevated(const std::string& command, bool cLocale = false);
// What runElevated writes to the shell's stdin: the password up to any line break, then a
// line feed (sudo reads exactly one line).
std::string elevatedInput(std::string_view password);

// A value made only of A-Za-z0-9_./,:+=@%- is returned as it stands; any other value is
// single-quoted for the shell ('it'\''s'). Quoting keeps a value one word, not a path: every
// command line with path operands also puts "--" before them, so that a path beginning with
// "-" is never read as an option.
std::string shellQuote(std::string_view value);
// Always single-quotes value for the shell ('it'\''s').
std::string shellSingleQuote(std::string_view value);
// Escapes ", \, $ and ` for use inside a command's own double quotes.
std::string doubleQuoteEscape(std::string_view value);
