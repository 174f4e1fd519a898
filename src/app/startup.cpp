// The start-up sequence: shared state, operating-system detection, sudo access, the
// terminal emulator, then the menu driver.
#include "app/startup.h"

#include <cstdlib>
#include <filesystem>

#include "app/installWalletForLinux.h"
#include "console/terminal.h"
#include "host/platform.h"

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

int runInstaller(int argc, char** argv) {
    terminal::install();
    terminal::enterRaw();
    auto& s = S();
    s.TEMPORARYDYNAMICARRAY.resetToOneEmpty();
    s.LOCATIONDYNAMICARRAY.resetToOneEmpty();
    s.TEMPARRAYLOCALDYNAMICARRAY.resetToOneEmpty();
    s.OSTYPE = "Linux";
    s.OSPATHSEPARATOR = "/";
    s.CURRENTOSACCOUNTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERNAME = envOrEmpty("USER");
    s.APPLICATIONTEXTWALLETINSTALLERVERSION = "0.10.61";
    s.APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE = "ALPHA";
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "unknown";
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = "unknown";
    s.THISPROGRAMEXECUTABLEFILEPATH = executableFolder(argc > 0 ? argv[0] : nullptr);
    s.THISPROGRAMEXECUTABLEFILENAME = invocationFileName(argc > 0 ? argv[0] : "");
    s.CURRENTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERHOMEPATH = s.CURRENTUSERHOMEPATH;
    GETOSTYPE();
    if (s.SUDOPASSWORD.empty()) runStartupSudoProcedure();
    s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME = detectTerminalEmulator();
    s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    PROCESSDISPLAYWALLETINSTALLATIONMENU();
    return 0;
}
