// Command-line words and the texts printed for them.
#include "app/command_line.h"

#include <optional>

namespace {
constexpr const char* kProgram = "installWalletForLinux";
}

CommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    // As GNU getopt reads them: options in order, the first --help or --version answers
    // before anything after it is looked at; an unknown option before it is refused; words
    // that are not options (and everything after "--") are looked at only at the end, and
    // the program takes none.
    std::optional<std::string_view> firstOperand;
    bool optionsEnded = false;
    for (std::string_view a : args) {
        const bool option = !optionsEnded && a.size() > 1 && a.front() == '-';
        if (!option) {
            if (!firstOperand) firstOperand = a;
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
        } else if (a == "--help") {
            return {CommandLineAction::Help, {}};
        } else if (a == "--version") {
            return {CommandLineAction::Version, {}};
        } else {
            return {CommandLineAction::Refuse, std::string(a)};
        }
    }
    if (firstOperand) return {CommandLineAction::Refuse, std::string(*firstOperand)};
    return {};
}

std::string commandsUsageText() {
    return "Commands for scripts (no menu, no question; one line per step):\n"
           "  install [--path DIR] [--no-packages] [--all-users] [--dry-run]\n"
           "          what installation menu key 2 does into DIR/wallet (DIR: your home\n"
           "          folder), the system packages unless --no-packages; --all-users adds\n"
           "          the launcher for all users\n"
           "  uninstall [--path DIR] [--keep-record] [--dry-run]\n"
           "          what installation menu key 7 (key 9: --keep-record) removes\n"
           "  scan [--json]\n"
           "          the storage survey and the wallet scan: one wallet path a line\n"
           "  --dry-run lists what would be made and run and changes nothing; --quiet\n"
           "  prints only failures. Root rights: sudo -n, or --password-stdin (one line\n"
           "  read from standard input, never stored); run by root: --user NAME installs\n"
           "  for that user (files as theirs). Exit status: 0 every step done, 1 a step\n"
           "  failed, 2 a usage error.\n";
}

std::string usageText() {
    // Every line within 80 columns.
    return "Usage: installWalletForLinux [--help | --version]\n"
           "       installWalletForLinux install|uninstall|scan [OPTION...]\n"
           "\n"
           "Installs the Corvane desktop wallet for the current user from an interactive,\n"
           "text-mode menu (80x24 terminal). Start it as that user, without sudo: it runs\n"
           "what needs root rights through sudo itself, your password on sudo's standard\n"
           "input. It downloads the wallet archive with wget.\n"
           "\n"
           "Its own files live beside the program when that folder is writable, else in\n"
           "$XDG_STATE_HOME/corvane-installer (default ~/.local/state/corvane-installer):\n"
           "  sudoPassword.txt, hash.txt  your password, enciphered, and its pad (0600),\n"
           "                              written when you type it; delete both to be asked\n"
           "                              again (sudoPassword.txt goes in the folder you\n"
           "                              started it from when the program's is writable)\n"
           "  tempout.txt, temp/          output of the commands it reads: start-up's\n"
           "                              stays, later ones are removed once read\n"
           "  temperr.txt                 what find complains about during the wallet scan\n"
           "  installWalletForLinux.cfg   the system profile, written by the wallet scan\n"
           "  runlog.txt                  the run log, written only while logging is on\n"
           "An installation writes below its path (default: your home folder), with the\n"
           "record wallet.cfg and the receipt wallet.receipt (what it laid, so that a\n"
           "removal takes only that), and its launchers; see the manual.\n"
           "\n"
           "\n" +
           commandsUsageText() +
           "\n"
           "Options:\n"
           "  --help     print this help and exit\n"
           "  --version  print the version and exit\n"
           "The first of them wins; any other argument is refused (exit status 2).\n"
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

std::string startedElevatedLine(unsigned euid, const char* sudoUid, const char* pkexecUid) {
    auto named = [](const char* v) { return v != nullptr && *v != '\0'; };
    if (euid != 0) return {};
    const char* tool = named(sudoUid) ? "sudo" : named(pkexecUid) ? "pkexec" : nullptr;
    if (tool == nullptr) return {};
    // Run as root, everything it makes in the user's home would be root's, and the group
    // command would put root into group sudo: the user is the one to start it.
    return std::string(kProgram) + ": run it as the user who will use the wallet, without " + tool +
           ": it asks for root rights itself when it needs them\n";
}
