// The menu driver: the top-level menu table, the wallet launch and the exit.
#include "app/menu_driver.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

#include "config/object_marker_file.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "help/advanced_menu.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/regular_file.h"
#include "host/shell.h"
#include "install/auto_install.h"
#include "install/install_menu.h"
#include "install/manual_menu.h"
#include "install/receipt.h"
#include "install/removal.h"
#include "install/selected_wallet_menu.h"
#include "privilege/privilege.h"
#include "storage/wallet_scan.h"

namespace {

console::Next keyExit() { std::exit(0); }

// What key 3 chooses from: the installation this run made and the wallet picked last. Both
// flows leave their program in thisRun().programPath, the one that came last; a pick is told
// from an installation by remembering what the pick put there.
using LaunchRecord = RunMemory::Launch;

LaunchRecord& launchRecord() { return runMemory().launch; }

// Takes note of an installation made since the last look (thisRun() holds another program
// than the pick left there).
void noteInstallation() {
    LaunchRecord& r = launchRecord();
    const std::string& last = install::thisRun().programPath;
    if (!last.empty() && last != r.picked) r.installed = last;
}

// A wallet that the scan picks is the installation the launch starts from then on (unless
// this run installed one), until this run installs or picks another.
void keyScan() {
    auto& s = S();
    const std::string before = s.APPLICATIONTEXTWALLETCURRENTFILEPATH;
    noteInstallation();
    runWalletScan();
    if (!s.APPLICATIONTEXTWALLETCURRENTFILEPATH.empty() &&
        s.APPLICATIONTEXTWALLETCURRENTFILEPATH != before) {
        const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
        install::thisRun().programPath = install::copyDestination("wallet", ip + "/wallet");
        install::thisRun().iconPath = install::copyDestination("wallet.ico", ip + "/wallet.ico");
        launchRecord().picked = install::thisRun().programPath;
    }
}

console::Next keyAdvanced() {
    runAdvancedMenu();
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = "Waiting for user input";
    return console::stay();
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

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
        {"1", " > PRESS 1..TO INSTALL A CORVANE WALLET", console::staying(runInstallationMenu)},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"", blank},
        {"8", " > PRESS 8..FOR ADVANCED OPTIONS, PREFERENCES AND INFORMATION", keyAdvanced},
        {"", blank},
        {"0", " > PRESS 0..TO EXIT", keyExit},
        {"", blank},
        // Keys the screen does not list.
        {"2", std::nullopt, console::staying(runManualInstallationMenu)},
        {"3", std::nullopt, launchWallet},
        {"4", std::nullopt, console::staying(keyScan)},
        {"5", std::nullopt, console::staying(runSelectedWalletMenu)},
        {"6", std::nullopt, console::staying(removeLaunchers)},
        {"7", std::nullopt, console::staying(deleteAllWalletFiles)},
    };
    return menu;
}

std::string walletLaunchCommand(const std::string& currentTerminal,
                                const std::string& defaultTerminal,
                                const std::string& walletProgram) {
    const std::string& picked = !currentTerminal.empty() ? currentTerminal : defaultTerminal;
    if (picked.empty()) return shellQuote(walletProgram);
    const char* option = picked == "mate-terminal" ? " -x " : " -e ";
    return shellQuote(defaultTerminal) + option + shellQuote(walletProgram);
}

namespace {

// The record's text when a regular file stands at path (a link is not read).
std::optional<std::string> recordText(const std::string& path) {
    return host::readRegularFile(path, host::Links::Refuse);
}

std::string recordValue(const std::string& text, std::string_view marker) {
    LineEscape escape;
    return readObjectValue(text, marker, RecordSyntax{}, escape);
}

std::string programIn(const std::string& folder) {
    if (folder.empty()) return {};
    const std::string program = folder + "/wallet";
    return isProgram(program) ? program : std::string();
}

}  // namespace

std::string recordedProgram(const std::string& folder) {
    const std::optional<std::string> record = recordText(folder + "/wallet.cfg");
    if (record) {
        std::string found = programIn(recordValue(*record, "applicationTextWalletApplicationPath"));
        if (!found.empty()) return found;
    }
    if (const std::optional<receipt::Receipt> laid = receipt::load(folder)) {
        for (const auto& e : laid->entries) {
            const bool named =
                e.path.size() >= 7 && e.path.compare(e.path.size() - 7, 7, "/wallet") == 0;
            if (e.kind == receipt::Kind::File && named && isProgram(e.path)) return e.path;
        }
    }
    if (record) return programIn(recordValue(*record, "applicationTextWalletInstallationPath"));
    return {};
}

std::string programToLaunch(const std::string& installedThisRun, const std::string& pickedLast,
                            const std::string& installationPath, const std::string& home) {
    for (const std::string* p : {&installedThisRun, &pickedLast}) {
        if (!p->empty() && isProgram(*p)) return *p;
    }
    std::string found;
    if (!installationPath.empty()) {
        // Install-and-stay records in the path itself, install-and-exit in its wallet folder.
        found = recordedProgram(installationPath);
        if (found.empty()) found = recordedProgram(installationPath + "/wallet");
    }
    if (found.empty() && !home.empty()) found = programIn(home + "/wallet");
    return found;
}

console::Next launchWallet() {
    const auto& s = S();
    console::clearScreen();
    noteInstallation();
    const std::string ip = !s.APPLICATIONTEXTWALLETINSTALLATIONPATH.empty()
                               ? s.APPLICATIONTEXTWALLETINSTALLATIONPATH
                               : s.CURRENTOSACCOUNTUSERHOMEPATH;
    const std::string program = programToLaunch(launchRecord().installed, launchRecord().picked, ip,
                                                s.CURRENTOSACCOUNTUSERHOMEPATH);
    if (program.empty()) return console::stayShowing(kNoWalletStatus);
    runCommand(walletLaunchCommand(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                   s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME, program));
    return console::stay();
}

std::optional<std::string> runTopMenuOnce(std::optional<std::string> status) {
    auto& s = S();
    if (s.APPLICATIONTEXTWALLETCURRENTSTATUS.empty())
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = "Waiting for user input";
    if (s.APPLICATIONTEXTWALLETINSTALLATIONPATH.empty())
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH = s.CURRENTUSERHOMEPATH;
    console::Menu menu = topMenu();
    menu.status = !status || status->empty() ? console::kAwaitingStatus : std::move(*status);
    try {
        return console::runMenuPass(menu, s.ZXINKEY).status;
    } catch (const FlowInterrupted&) {
        // A command of the flow died of Ctrl-C: the flow ends here, nothing after it runs.
        s.ZXINKEY.clear();
        return kInterruptedStatus;
    }
}

void runTopMenu(std::string firstStatus) {
    std::optional<std::string> status = std::move(firstStatus);
    while (true) status = runTopMenuOnce(std::move(status));
}

void PROCESSDISPLAYWALLETINSTALLATIONMENU() { runTopMenu(""); }
