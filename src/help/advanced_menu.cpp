// The advanced menu and its pages. Menu pages are menu tables (title, entries, then the status
// line after the last entry); help and information pages are tables of lines.
#include "help/advanced_menu.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "console/console.h"
#include "console/menu.h"
#include "core/build_config.h"
#include "core/shared_state.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/run_log.h"
#include "host/shell.h"

namespace {

constexpr int kRunLogDeleteTries = 10;

struct HelpPage {
    const char* key;
    const char* entry;  // its line on the submenu
    const char* heading;
    std::vector<std::string> body;
};

const char* const kOwnerLine = "   Corvane wallet installer is a product of the Corvane project";
const char* const kRightsLine = "   All rights reserved";

using runlog::runLogPath;

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Whether an executable of that name is in a folder of PATH.
bool onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "";
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string candidate(rest.substr(0, colon));
        if (candidate.empty()) candidate = ".";
        candidate += '/';
        candidate += name;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

// A menu page: the title and its entries with a blank line between them, then the status
// line right after the last entry.
console::Menu menuPage(const std::string& title, const std::vector<console::MenuEntry>& entries) {
    console::Menu menu;
    menu.statusPlace = console::StatusPlace::NextLine;
    menu.status = S().APPLICATIONTEXTWALLETCURRENTSTATUS;
    menu.entries.push_back({"", title});
    for (const auto& e : entries) {
        menu.entries.push_back({"", " "});
        menu.entries.push_back(e);
    }
    return menu;
}

void showPage(const std::string& title, const std::string& heading,
              const std::vector<std::string>& body) {
    std::vector<std::string> lines{title, " ", "  " + heading, " "};
    for (const auto& b : body) lines.push_back("   " + b);
    lines.push_back(" ");
    lines.push_back(" PRESS ANY KEY TO EXIT");
    console::drawPage(lines);
    console::waitMenuKey();
}

// A help submenu: each entry opens its page; "0" leaves; any other key redraws.
void runHelpSubmenu(const std::string& title, const std::vector<HelpPage>& pages,
                    const std::string& back, const std::string& pageTitle) {
    std::vector<console::MenuEntry> entries;
    entries.reserve(pages.size() + 1);
    for (const auto& p : pages)
        entries.push_back(
            {p.key, p.entry, console::staying([&] { showPage(pageTitle, p.heading, p.body); })});
    entries.push_back({"0", back});
    console::runMenu([&] { return menuPage(title, entries); }, S().ZXINKEY);
}

const std::vector<std::string> kManualHelpBody = {
    "This option lets the user to manually download and install",
    "the wallet progam into the operating system step by step."};

void runMenuHelp() {
    static const std::vector<HelpPage> kPages = {
        {"1",
         " > PRESS 1.. TO VIEW AUTO INSTALLATION HELP",
         "AUTO INSTALLATION HELP",
         {"This option downloads and automatically installs the wallet"}},
        {"2", " > PRESS 2.. TO VIEW MANUAL INSTALLATION HELP", "MANUAL INSTALLATION HELP",
         kManualHelpBody},
        {"3",
         " > PRESS 3.. TO VIEW LAUNCHING WALLET APPLICATION HELP",
         "LAUNCHING WALLET HELP",
         {"This option launches the wallet application in this device"}},
        {"4",
         " > PRESS 4.. TO VIEW SCANNING MACHINE FOR WALLETS HELP",
         "SCANNING MACHINE FOR WALLETS HELP",
         {"This option shows all installed wallets in this device",
          "and allows the user to select and launch one of the wallets"}},
        {"5",
         " > PRESS 5.. TO VIEW REINSTALLING WALLET APPLICAITON HELP",
         "AUTO REINSTALLATION HELP",
         {"This option redownloads and automatically reinstalls the wallet"}},
        {"6",
         " > PRESS 6.. TO VIEW UNINSTALLING WALLET APPLICATION HELP",
         "AUTO UNINSTALLATION HELP",
         {"This option uninstalls the wallet from the operating system"}},
        {"7",
         " > PRESS 7.. TO VIEW DELETING ALL WALLET RUNTIME FILES HELP",
         "DELETING RUNTIME WALLET FILES HELP",
         {"This option deletes all the runtime wallet files", "in the operating system"}},
        {"8",
         " > PRESS 8.. TO VIEW ADVANCED OPTIONS, PREFENCES AND INFO HELP",
         "ADVANCED OPTIONS HELP",
         {"This option provides other user options and preferences"}},
    };
    runHelpSubmenu(" MAIN MENU-ADVANCED-VIEW MENU HELP", kPages, " > PRESS 0.. TO GO BACK",
                   " MAIN MENU-ADVANCED-VIEW HELP WITH WALLET MENU ENTRIES");
}

void runGeneralHelp() {
    static const std::vector<HelpPage> kPages = {
        {"1",
         " > PRESS 1.. TO VIEW GETTING THE INSTALLER",
         "GETTING THE INSTALLER",
         {std::string("Download the installer from ") + build_config::kWebSite}},
        {"2", " > PRESS 2.. TO VIEW LAUNCHING THE INSTALLER", "LAUNCHING THE INSTALLER",
         kManualHelpBody},
        {"3",
         " > PRESS 3.. TO VIEW NAVIGATING THE INSTALLER",
         "NAVIGATING THE INSTALLER",
         {"Press the number keys on your keyboard to choose options"}},
        {"4",
         " > PRESS 4.. TO VIEW INSTALLATION MENU CHOICES",
         "INSTALLATION MENU CHOICES",
         {"Please do not experiment with menu choices unless you have",
          "read the entire help section"}},
        {"5",
         " > PRESS 5.. TO VIEW UPGRADING THE INSTALLER",
         "UPGRADING THE INSTALLER",
         {"Only use this option when directed by technical support"}},
    };
    runHelpSubmenu("MAIN MENU-ADVANCED-VIEW GENERAL HELP", kPages, " > PRESS 0.. TO GO BACK",
                   " MAIN MENU-ADVANCED-VIEW GENERAL HELP ");
}

void viewRunLog() {
    if (pathExists(runLogPath())) {
        RunLogTools tools;
        tools.graphicalSession = envSet("DISPLAY") || envSet("WAYLAND_DISPLAY");
        tools.gedit = tools.graphicalSession && onPath("gedit");
        if (const char* pager = std::getenv("PAGER")) tools.pagerEnv = pager;
        tools.sensiblePager = onPath("sensible-pager");
        tools.less = onPath("less");
        const std::string command = runLogViewCommand(runLogPath(), tools);
        // A pager takes the whole terminal; the menu is drawn again when it ends.
        if (!(tools.graphicalSession && tools.gedit)) console::clearScreen();
        runCommand(command);
    } else {
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = "runlog.txt NOT FOUND, Waiting for user input";
    }
}

}  // namespace

namespace {

void toggleLogging() {
    auto& s = S();
    s.LOGGINGENABLED = s.LOGGINGENABLED == 0 ? 1 : 0;
}

void showInformationPage(const std::string& key) {
    console::drawPage(informationPage(key));
    console::waitMenuKey();
}

}  // namespace

console::Menu advancedMenu() {
    auto info = [](const char* key) {
        return console::staying([key] { showInformationPage(key); });
    };
    using console::staying;
    return menuPage(" MAIN MENU-ADVANCED   ",
                    {
                        {"1", " > PRESS 1.. TO VIEW MENU HELP", staying(runMenuHelp)},
                        {"2", " > PRESS 2.. TO VIEW GENERAL HELP", staying(runGeneralHelp)},
                        {"3",
                         S().LOGGINGENABLED == 1 ? " > PRESS 3.. TO TOOGLE LOGGING= ENABLED"
                                                 : " > PRESS 3.. TO TOOGLE LOGGING= DISABLED",
                         staying(toggleLogging)},
                        {"4", " > PRESS 4.. TO CLEAR THE RUNLOG", staying(clearRunLog)},
                        {"5", " > PRESS 5.. TO VIEW THE RUNLOG", staying(viewRunLog)},
                        {"6", " > PRESS 6.. TO VIEW PRODUCT INFORMATION", info("6")},
                        {"7", " > PRESS 7.. TO VIEW LEGAL INFORMATION", info("7")},
                        {"8", " > PRESS 8.. TO VIEW AUTHOR INFORMATION", info("8")},
                        {"9", " > PRESS 9.. TO VIEW TECHNICAL INFORMATION", info("9")},
                        {"0", " > PRESS 0.. TO GO BACK"},
                    });
}

std::vector<std::string> informationPage(const std::string& key) {
    const auto& s = S();
    auto page = [](const std::string& name, std::vector<std::string> body) {
        std::vector<std::string> lines{" MAIN MENU-ADVANCED-" + name, " ", "  " + name, " "};
        for (auto& b : body) lines.push_back(std::move(b));
        lines.push_back(" ");
        lines.push_back(" PRESS ANY KEY TO EXIT");
        return lines;
    };
    if (key == "6")
        return page("PRODUCT INFORMATION", {"   Corvane Wallet Installer for Linux", kOwnerLine,
                                            kRightsLine, "   Made in the USA"});
    if (key == "7")
        return page("LEGAL INFORMATION",
                    {kOwnerLine, "   Corvane is a registered trademark of the Corvane project",
                     "   Corvane patents pending", kRightsLine});
    if (key == "8") return page("AUTHOR INFORMATION", {kOwnerLine, kRightsLine});
    if (key == "9")
        return page("TECHNICAL INFORMATION", {"   TERMINAL EMULATOR VALUES",
                                              "    defaultTerminalEmulatorExecutableFileName = " +
                                                  s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME,
                                              "    currentTerminalEmulatorExecutableFileName = " +
                                                  s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME});
    return {};
}

std::string runLogViewCommand(const std::string& path, const RunLogTools& tools) {
    const std::string file = shellQuote(path);
    if (tools.graphicalSession && tools.gedit) return "gedit " + file;
    if (tools.pagerEnv.find_first_not_of(" \t") != std::string::npos)
        return tools.pagerEnv + " " + file;
    if (tools.sensiblePager) return "sensible-pager " + file;
    if (tools.less) return "less " + file;
    return "more " + file;
}

void clearRunLog() {
    const std::string path = runLogPath();
    if (!pathExists(path)) {
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = "runlog.txt NOT FOUND, Waiting for user input";
        return;
    }
    // A file that cannot be deleted must not hang the menu.
    for (int i = 0; i < kRunLogDeleteTries && pathExists(path); ++i) {
        if (::unlink(path.c_str()) != 0) platform().sleepMs(100);
    }
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = pathExists(path)
                                                 ? "runlog.txt NOT DELETED, Waiting for user input"
                                                 : "runlog.txt DELETED, Waiting for user input";
}

void runAdvancedMenu() { console::runMenu(advancedMenu, S().ZXINKEY); }
