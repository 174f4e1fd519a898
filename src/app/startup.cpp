// The start-up sequence: shared state, operating-system detection, sudo access, the
// terminal emulator, then the menu driver.
#include "app/startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "app/command_line.h"
#include "app/commands.h"
#include "app/menu_driver.h"
#include "core/build_config.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/os_detect.h"
#include "host/platform.h"
#include "host/terminal.h"
#include "install/typed_path.h"
#include "privilege/privilege.h"

std::string detectTerminalEmulator() {
    static const char* const kNames[] = {"gnome-terminal", "xfce4-terminal", "mate-terminal",
                                         "uxterm", "xterm"};
    for (const char* name : kNames) {
        if (platform().systemPathExists(std::string("/usr/bin/") + name)) return name;
    }
    return {};
}

namespace {

// The first --help or --version among a command's words, which answers instead of the command.
const char* answersFirst(const std::vector<std::string_view>& args) {
    for (std::string_view a : args) {
        if (a == "--") break;
        if (a == "--help") return "--help";
        if (a == "--version") return "--version";
    }
    return nullptr;
}

// Answers --help, --version and unknown words; returns the exit status, or -1 to run.
int answerCommandLine(int argc, char** argv) {
    std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // A command for scripts: no menu, no terminal needed (--help and --version still answer).
    const bool command = !args.empty() && isCommandWord(args.front());
    if (command && !answersFirst(args)) return runCommandLine(parseCommand(args), argv[0]);
    CommandLine cl = command ? parseCommandLine({answersFirst(args)}) : parseCommandLine(args);
    switch (cl.action) {
        case CommandLineAction::Help:
            std::cout << usageText() << std::flush;
            return 0;
        case CommandLineAction::Version:
            std::cout << versionText(build_config::kVersion) << std::flush;
            return 0;
        case CommandLineAction::Refuse:
            std::cerr << refusalLine(cl.refused) << usageText() << std::flush;
            return 2;
        case CommandLineAction::Run:
            break;
    }
    // Before anything else is looked at or made: started through sudo, it would work as root
    // on the files of the user who asked.
    if (std::string line =
            startedElevatedLine(geteuid(), std::getenv("SUDO_UID"), std::getenv("PKEXEC_UID"));
        !line.empty()) {
        std::cerr << line << std::flush;
        return 1;
    }
    if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) {
        std::cerr << needsTerminalLine() << std::flush;
        return 1;
    }
    return -1;
}

}  // namespace

int runInstaller(int argc, char** argv) {
    if (int status = answerCommandLine(argc, argv); status >= 0) return status;
    // Kept before start-up may move to the state folder: a typed relative path means the
    // folder the user started the program from.
    const std::string startFolder = currentFolder();
    std::string why;
    const bool prepared = prepareToRun(argc > 0 ? argv[0] : nullptr, startFolder, why);
    if (!prepared) {
        std::cerr << "installWalletForLinux: " << why << "\n";
        return 1;
    }

    terminal::install();
    terminal::enterRaw();
    auto& s = S();
    GETOSTYPE();
    const std::string status = s.SUDOPASSWORD.empty() ? runStartupSudoProcedure() : "";
    s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME = detectTerminalEmulator();
    s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    runTopMenu(status);
    return 0;
}
