// Running command lines: the plain runner and the elevated runner (the only place that builds
// a sudo command); the quoting of values comes with them (shell_quote.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "host/platform.h"
#include "host/shell_quote.h"  // every command line quotes its values

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
// The same in folder (the command's own working folder; 127 when it cannot be entered).
int runCommandIn(const std::string& folder, const std::string& commandLine, bool cLocale = false);

// How many commands runCommand and runElevated have started: they share the terminal, so the
// console kit takes the cursor it tracks as unknown once this count has moved.
uint64_t terminalCommandsRun();

// How every sudo that gets the password on its standard input begins: -k so that the password
// is checked even while credentials are cached, -S to read it from standard input, and an
// empty -p so that sudo prints no prompt of its own (written by the hundred during an
// installation, "[sudo] password for ...:" would look like questions nobody asked).
inline constexpr const char* kSudoReadsPassword = "sudo -kS -p '' ";

// Builds the elevated form of a command: kSudoReadsPassword + kNullInputWrapper + command. The
// password never stands on the command line; runElevated feeds SUDOPASSWORD and a line feed to
// the shell's stdin, which is sudo's. sudo reads that line only when it asks for a password:
// a sudo that does not ask (a NOPASSWD rule, a fingerprint) would leave it to the command,
// which inherits sudo's stdin. So the command runs behind a shell that gives it /dev/null as
// stdin: the password reaches sudo or nobody. The command's own words, redirections and pipes
// stay as they are (the wrapper only adds words between sudo's options and the command).
inline constexpr const char* kNullInputWrapper = "sh -c 'exec \"$@\" </dev/null' sh ";
std::string elevatedCommandLine(std::string_view command);
int runElevated(const std::string& command, bool cLocale = false);
// The same in folder (the command's own working folder; 127 when it cannot be entered).
int runElevatedIn(const std::string& folder, const std::string& command, bool cLocale = false);

// How the elevated runner gets root's rights (Elevation, host/platform.h), kept in the
// platform's session.
void setElevation(Elevation e);
Elevation elevation();
// Whether elevated commands can run at all: a password is known, or none is needed.
bool canElevate();
inline constexpr const char* kSudoWithoutPassword = "sudo -n ";
// What runElevated writes to the shell's stdin: the password up to any line break, then a
// line feed (sudo reads exactly one line).
std::string elevatedInput(std::string_view password);
