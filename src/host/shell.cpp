// Command lines: the plain runner, the elevated runner and the quoting of values.
#include "host/shell.h"

#include <chrono>
#include <csignal>

#include "app/shared_state.h"
#include "console/console.h"
#include "host/platform.h"
#include "host/run_log.h"

namespace {

bool isPlainChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '/' || c == ',' || c == ':' || c == '+' || c == '=' || c == '@' ||
           c == '%' || c == '-';
}

std::function<int()> gTicker;

}  // namespace

ScopedCommandTicker::ScopedCommandTicker(std::function<int()> tick)
    : previous_(std::move(gTicker)) {
    gTicker = std::move(tick);
}

ScopedCommandTicker::~ScopedCommandTicker() { gTicker = std::move(previous_); }

int runShellCommand(const std::string& commandLine, CommandOptions options) {
    if (!options.whileRunning) options.whileRunning = gTicker;
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
    console::invalidateCursor();  // the command may write to the terminal
    return runShellCommand(commandLine, CommandOptions{std::nullopt, cLocale, 0, {}});
}

std::string elevatedCommandLine(std::string_view command) {
    return "sudo -kS " + std::string(kNullInputWrapper) + std::string(command);
}

std::string elevatedInput(std::string_view password) {
    // sudo reads one line; anything after a line break would be left for the command.
    return std::string(password.substr(0, password.find_first_of("\r\n"))) + "\n";
}

int runElevated(const std::string& command, bool cLocale) {
    console::invalidateCursor();
    return runShellCommand(elevatedCommandLine(command),
                           CommandOptions{elevatedInput(S().SUDOPASSWORD), cLocale, 0, {}});
}

std::string shellQuote(std::string_view value) {
    bool plain = !value.empty();
    for (char c : value) plain = plain && isPlainChar(c);
    return plain ? std::string(value) : shellSingleQuote(value);
}

std::string shellSingleQuote(std::string_view value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += "'";
    return out;
}

std::string doubleQuoteEscape(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
        out += c;
    }
    return out;
}
