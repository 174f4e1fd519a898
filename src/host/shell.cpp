// Command lines: the plain runner and the elevated runner.
#include "host/shell.h"

#include <chrono>
#include <csignal>

#include "core/shared_state.h"
#include "host/platform.h"
#include "host/run_log.h"

namespace {

PlatformSession& session() { return platform().session(); }

}  // namespace

ScopedCommandTicker::ScopedCommandTicker(std::function<int()> tick)
    : previous_(std::move(session().ticker)) {
    session().ticker = std::move(tick);
}

ScopedCommandTicker::~ScopedCommandTicker() { session().ticker = std::move(previous_); }

int runShellCommand(const std::string& commandLine, CommandOptions options) {
    if (!options.whileRunning) options.whileRunning = session().ticker;
    const auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    };
    int status = 0;
    try {
        status = platform().run(commandLine, options);
    } catch (const FlowInterrupted&) {
        runlog::recordCommand(commandLine, 128 + SIGINT, elapsedMs());  // Ctrl-C ended it
        throw;
    }
    runlog::recordCommand(commandLine, status, elapsedMs());
    return status;
}

int runCommand(const std::string& commandLine, bool cLocale) {
    return runCommandIn("", commandLine, cLocale);
}

int runCommandIn(const std::string& folder, const std::string& commandLine, bool cLocale) {
    ++session().terminalCommands;  // the command may write to the terminal
    CommandOptions options{std::nullopt, cLocale, 0, {}};
    options.workingFolder = folder;
    return runShellCommand(commandLine, options);
}

uint64_t terminalCommandsRun() { return session().terminalCommands; }

void setElevation(Elevation e) { session().elevation = e; }
Elevation elevation() { return session().elevation; }
bool canElevate() { return elevation() != Elevation::Password || !S().SUDOPASSWORD.empty(); }

std::string elevatedCommandLine(std::string_view command) {
    const Elevation e = elevation();
    const char* sudo = e == Elevation::Password              ? kSudoReadsPassword
                       : e == Elevation::SudoWithoutPassword ? kSudoWithoutPassword
                                                             : "";
    return std::string(sudo) + std::string(kNullInputWrapper) + std::string(command);
}

std::string elevatedInput(std::string_view password) {
    // sudo reads one line; anything after a line break would be left for the command.
    return std::string(password.substr(0, password.find_first_of("\r\n"))) + "\n";
}

int runElevated(const std::string& command, bool cLocale) {
    return runElevatedIn("", command, cLocale);
}

int runElevatedIn(const std::string& folder, const std::string& command, bool cLocale) {
    ++session().terminalCommands;
    CommandOptions options{std::nullopt, cLocale, 0, {}};
    options.workingFolder = folder;
    if (elevation() == Elevation::Password) options.input = elevatedInput(S().SUDOPASSWORD);
    options.asRoot = true;
    return runShellCommand(elevatedCommandLine(command), options);
}
