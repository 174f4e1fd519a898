// Command-line words and the texts printed for them.
#include "app/command_line.h"

namespace {
constexpr const char* kProgram = "installWalletForLinux";
}

CommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    if (args.empty()) return {};
    if (args.size() == 1 && args[0] == "--help") return {CommandLineAction::Help, {}};
    if (args.size() == 1 && args[0] == "--version") return {CommandLineAction::Version, {}};
    // Name the first word not understood; with two known options, the second is the extra one.
    for (std::string_view a : args) {
        if (a != "--help" && a != "--version") {
            return {CommandLineAction::Refuse, std::string(a)};
        }
    }
    return {CommandLineAction::Refuse, std::string(args[1])};
}

std::string usageText() {
    return "Usage: installWalletForLinux [--help | --version]\n"
           "\n"
           "Installs the Corvane desktop wallet for the current user from an interactive,\n"
           "text-mode menu (80x24 terminal). It downloads the wallet archive with wget and\n"
           "runs what needs root rights through sudo, with your password on standard input.\n"
           "\n"
           "Files it keeps (tempout.txt, sudoPassword.txt, hash.txt, installWalletForLinux.cfg):\n"
           "beside the program when that folder is writable, otherwise in\n"
           "$XDG_STATE_HOME/corvane-installer (default ~/.local/state/corvane-installer).\n"
           "\n"
           "Options:\n"
           "  --help     print this help and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "Manual: man installWalletForLinux\n";
}

std::string versionText(std::string_view version) {
    return std::string(kProgram) + " " + std::string(version) + "\n";
}

std::string refusalLine(std::string_view argument) {
    return std::string(kProgram) + ": unrecognised argument '" + std::string(argument) + "'\n";
}

std::string needsTerminalLine() {
    return std::string(kProgram) +
           ": needs a terminal: standard input and output must both be a terminal\n";
}
