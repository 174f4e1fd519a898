// The menu driver: the top-level menu table, the wallet launch and the exit.
#include "app/menu_driver.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "console/console.h"
#include "core/shared_state.h"
#include "help/advanced_menu.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/shell.h"
#include "install/auto_install.h"
#include "install/install_menu.h"
#include "install/manual_menu.h"
#include "install/removal.h"
#include "install/selected_wallet_menu.h"
#include "privilege/privilege.h"
#include "storage/wallet_scan.h"

namespace {

void keyExit() { std::exit(0); }

// A wallet that the scan picks is the installation the launch starts from then on (unless
// HOME/wallet/wallet is a program), until this run installs or picks another.
void keyScan() {
    auto& s = S();
    const std::string before = s.APPLICATIONTEXTWALLETCURRENTFILEPATH;
    runWalletScan();
    if (!s.APPLICATIONTEXTWALLETCURRENTFILEPATH.empty() &&
        s.APPLICATIONTEXTWALLETCURRENTFILEPATH != before) {
        const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
        install::thisRun().programPath = install::copyDestination("wallet", ip + "/wallet");
        install::thisRun().iconPath = install::copyDestination("wallet.ico", ip + "/wallet.ico");
    }
}

void keyAdvanced() {
    runAdvancedMenu();
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = "Waiting for user input";
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Shown once on the top screen after Ctrl-C ended a flow.
bool gInterrupted = false;

bool isProgram(const std::string& path) {
    return isRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

console::Menu topMenu() {
    const auto& s = S();
    const std::string blank = " ";
    console::Menu menu;
    menu.entries = {
        {"", " WALLET " + upper(s.OSTYPE) + " INSTALLER " +
                 s.APPLICATIONTEXTWALLETINSTALLERVERSION + " " +
                 s.APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"1", " > PRESS 1..TO INSTALL A CORVANE WALLET", runInstallationMenu, true},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"8", " > PRESS 8..FOR ADVANCED OPTIONS, PREFERENCES AND INFORMATION", keyAdvanced, true},
        {"", blank},
        {"0", " > PRESS 0..TO EXIT", keyExit},
        {"", blank},
        // Keys the screen does not list.
        {"2", std::nullopt, runManualInstallationMenu, true},
        {"3", std::nullopt, launchWallet},
        {"4", std::nullopt, keyScan},
        {"5", std::nullopt, runSelectedWalletMenu},
        {"6", std::nullopt, removeLaunchers},
        {"7", std::nullopt, deleteAllWalletFiles},
    };
    return menu;
}

std::vector<std::string> walletLaunchCommands(const std::string& currentTerminal,
                                              const std::string& defaultTerminal,
                                              const std::string& walletProgram, bool walletExists) {
    std::vector<std::string> cmds;
    const std::string& picked = !currentTerminal.empty() ? currentTerminal : defaultTerminal;
    if (!picked.empty()) {
        // The picked name decides the option; the default name is the one started.
        const char* option = picked == "mate-terminal" ? " -x " : " -e ";
        cmds.push_back(shellQuote(defaultTerminal) + option + shellQuote(walletProgram));
    }
    if (walletExists) cmds.push_back(shellQuote(walletProgram));
    return cmds;
}

std::string programToLaunch(const std::string& homeProgram, bool homeProgramRuns,
                            const std::string& installedProgram) {
    if (homeProgramRuns || installedProgram.empty()) return homeProgram;
    return installedProgram;
}

void launchWallet() {
    const auto& s = S();
    console::clearScreen();
    const std::string homeProgram = s.CURRENTOSACCOUNTUSERHOMEPATH + "/wallet/wallet";
    const std::string program =
        programToLaunch(homeProgram, isProgram(homeProgram), install::thisRun().programPath);
    for (const auto& cmd : walletLaunchCommands(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                                s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME,
                                                program, isRegularFile(program))) {
        runCommand(cmd);
    }
}

void runTopMenuOnce() {
    auto& s = S();
    if (s.APPLICATIONTEXTWALLETCURRENTSTATUS.empty())
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = "Waiting for user input";
    if (s.APPLICATIONTEXTWALLETINSTALLATIONPATH.empty())
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH = s.CURRENTUSERHOMEPATH;
    console::Menu menu = topMenu();
    const std::string startupStatus = takeStartupStatus();
    menu.status = gInterrupted            ? kInterruptedStatus
                  : startupStatus.empty() ? console::kAwaitingStatus
                                          : startupStatus;
    gInterrupted = false;
    std::error_code ec;
    const std::filesystem::path start = std::filesystem::current_path(ec);
    try {
        console::runMenuPass(menu, s.ZXINKEY);
    } catch (const FlowInterrupted&) {
        // A command of the flow died of Ctrl-C: the flow ends here, nothing after it runs.
        s.ZXINKEY.clear();
        if (!start.empty()) (void)::chdir(start.c_str());
        gInterrupted = true;
    }
}

void PROCESSDISPLAYWALLETINSTALLATIONMENU() {
    while (true) runTopMenuOnce();
}
