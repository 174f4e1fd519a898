// Command lines: the plain runner, the elevated runner and the quoting of values.
#include "host/shell.h"

#include "app/shared_state.h"
#include "console/console.h"
#include "host/platform.h"

namespace {

bool isPlainChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '/' || c == ',' || c == ':' || c == '+' || c == '=' || c == '@' ||
           c == '%' || c == '-';
}

}  // namespace

int runCommand(const std::string& commandLine, bool cLocale) {
    console::invalidateCursor();  // the command may write to the terminal
    return platform().run(commandLine, CommandOptions{std::nullopt, cLocale});
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
    return platform().run(elevatedCommandLine(command),
                          CommandOptions{elevatedInput(S().SUDOPASSWORD), cLocale});
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
