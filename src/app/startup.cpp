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

namespace {

std::string envOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string executableFolder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0 != nullptr) exe = std::filesystem::absolute(argv0, ec);
    std::string folder = exe.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

}  // namespace

std::string invocationFileName(std::string_view invocation) {
    if (invocation.substr(0, 2) == "./") invocation.remove_prefix(2);
    auto slash = invocation.rfind('/');
    if (slash != std::string_view::npos) invocation.remove_prefix(slash + 1);
    return std::string(invocation);
}

std::string detectTerminalEmulator() {
    static const char* const kNames[] = {"gnome-terminal", "xfce4-terminal", "mate-terminal",
                                         "uxterm", "xterm"};
    for (const char* name : kNames) {
        if (platform().systemPathExists(std::string("/usr/bin/") + name)) return name;
    }
    return {};
}

std::string fileFolderFor(std::string_view programFolder, bool programFolderWritable,
                          std::string_view xdgStateHome, std::string_view home) {
    if (programFolderWritable) return std::string(programFolder);
    std::string base;
    if (!xdgStateHome.empty() && xdgStateHome.front() == '/') {
        base = xdgStateHome;  // the XDG rule: a relative value is ignored
    } else if (!home.empty()) {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/corvane-installer";
}

bool makePrivateFolder(const std::string& folder) {
    for (const auto& path : pathPrefixes(folder)) {
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return isFolder(folder) && euidaccess(folder.c_str(), W_OK | X_OK) == 0;
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

bool prepareToRun(const char* argv0, const std::string& startFolder, std::string& why) {
    // Its own files: beside the program when it may write there (the start folder keeps its
    // documented role then); otherwise all of them in the state folder, which also becomes
    // the start folder so that nothing lands wherever the user happened to be.
    const std::string programFolder = executableFolder(argv0);
    std::string fileFolder = programFolder;
    if (euidaccess(programFolder.c_str(), W_OK | X_OK) != 0) {
        fileFolder =
            fileFolderFor(programFolder, false, envOrEmpty("XDG_STATE_HOME"), envOrEmpty("HOME"));
        if (fileFolder.empty()) {
            why =
                "cannot keep its files: " + programFolder + " is not writable and HOME is not set";
            return false;
        }
        if (!makePrivateFolder(fileFolder) || chdir(fileFolder.c_str()) != 0) {
            why = "cannot keep its files: " + programFolder + " is not writable and " + fileFolder +
                  " cannot be made: " + std::strerror(errno);
            return false;
        }
    }
    auto& s = S();
    install::startFolder() = startFolder;
    s.TEMPORARYDYNAMICARRAY.resetToOneEmpty();
    s.LOCATIONDYNAMICARRAY.resetToOneEmpty();
    s.TEMPARRAYLOCALDYNAMICARRAY.resetToOneEmpty();
    s.OSTYPE = "Linux";
    s.OSPATHSEPARATOR = "/";
    s.CURRENTOSACCOUNTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERNAME = envOrEmpty("USER");
    s.APPLICATIONTEXTWALLETINSTALLERVERSION = build_config::kVersion;
    s.APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE = "ALPHA";
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "unknown";
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = "unknown";
    s.THISPROGRAMEXECUTABLEFILEPATH = fileFolder;
    s.THISPROGRAMEXECUTABLEFILENAME = invocationFileName(argv0 != nullptr ? argv0 : "");
    s.CURRENTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERHOMEPATH = s.CURRENTUSERHOMEPATH;
    return true;
}

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
    if (s.SUDOPASSWORD.empty()) runStartupSudoProcedure();
    s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME = detectTerminalEmulator();
    s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    PROCESSDISPLAYWALLETINSTALLATIONMENU();
    return 0;
}
