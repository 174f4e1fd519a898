// The advanced menu and its pages. Pages are tables of lines; one function draws a menu page
// (lines, then the status line after the last entry) and one a help or information page.
#include "help/advanced_menu.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "console/console.h"
#include "core/shared_state.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/run_log.h"
#include "host/shell.h"

namespace {

constexpr int kRunLogDeleteTries = 10;

struct HelpPage {
    const char* key;
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
        std::string folder(rest.substr(0, colon));
        if (folder.empty()) folder = ".";
        if (::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
        if (colon == std::string_view::npos) return false;
        rest.remove_prefix(colon + 1);
    }
}

// A menu page: the title and its entries with a blank line between them, then the status
// line right after the last entry.
void drawMenuPage(const std::string& title, const std::vector<std::string>& entries) {
    std::vector<std::string> lines{title};
    for (const auto& e : entries) {
        lines.push_back(" ");
        lines.push_back(e);
    }
    lines.push_back(" APPLICATION STATUS= " + S().APPLICATIONTEXTWALLETCURRENTSTATUS);
    console::drawPage(lines);
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

// A help submenu: its entries open pages; "0" leaves; any other key redraws.
void runHelpSubmenu(const std::string& title, const std::vector<std::string>& entries,
                    const std::string& pageTitle, const std::vector<HelpPage>& pages) {
    auto& s = S();
    while (true) {
        drawMenuPage(title, entries);
        s.ZXINKEY = console::waitMenuKey();
        if (s.ZXINKEY == "0") break;
        for (const auto& p : pages) {
            if (s.ZXINKEY == p.key) showPage(pageTitle, p.heading, p.body);
        }
    }
    s.ZXINKEY.clear();
}

const std::vector<std::string> kManualHelpBody = {
    "This option lets the user to manually download and install",
    "the wallet progam into the operating system step by step."};

void runMenuHelp() {
    runHelpSubmenu(
        " MAIN MENU-ADVANCED-VIEW MENU HELP",
        {" > PRESS 1.. TO VIEW AUTO INSTALLATION HELP",
         " > PRESS 2.. TO VIEW MANUAL INSTALLATION HELP",
         " > PRESS 3.. TO VIEW LAUNCHING WALLET APPLICATION HELP",
         " > PRESS 4.. TO VIEW SCANNING MACHINE FOR WALLETS HELP",
         " > PRESS 5.. TO VIEW REINSTALLING WALLET APPLICAITON HELP",
         " > PRESS 6.. TO VIEW UNINSTALLING WALLET APPLICATION HELP",
         " > PRESS 7.. TO VIEW DELETING ALL WALLET RUNTIME FILES HELP",
         " > PRESS 8.. TO VIEW ADVANCED OPTIONS, PREFENCES AND INFO HELP",
         " > PRESS 0.. TO GO BACK"},
        " MAIN MENU-ADVANCED-VIEW HELP WITH WALLET MENU ENTRIES",
        {
            {"1",
             "AUTO INSTALLATION HELP",
             {"This option downloads and automatically installs the wallet"}},
            {"2", "MANUAL INSTALLATION HELP", kManualHelpBody},
            {"3",
             "LAUNCHING WALLET HELP",
             {"This option launches the wallet application in this device"}},
            {"4",
             "SCANNING MACHINE FOR WALLETS HELP",
             {"This option shows all installed wallets in this device",
              "and allows the user to select and launch one of the wallets"}},
            {"5",
             "AUTO REINSTALLATION HELP",
             {"This option redownloads and automatically reinstalls the wallet"}},
            {"6",
             "AUTO UNINSTALLATION HELP",
             {"This option uninstalls the wallet from the operating system"}},
            {"7",
             "DELETING RUNTIME WALLET FILES HELP",
             {"This option deletes all the runtime wallet files", "in the operating system"}},
            {"8",
             "ADVANCED OPTIONS HELP",
             {"This option provides other user options and preferences"}},
        });
}

void runGeneralHelp() {
    runHelpSubmenu("MAIN MENU-ADVANCED-VIEW GENERAL HELP",
                   {" > PRESS 1.. TO VIEW GETTING THE INSTALLER",
                    " > PRESS 2.. TO VIEW LAUNCHING THE INSTALLER",
                    " > PRESS 3.. TO VIEW NAVIGATING THE INSTALLER",
                    " > PRESS 4.. TO VIEW INSTALLATION MENU CHOICES",
                    " > PRESS 5.. TO VIEW UPGRADING THE INSTALLER", " > PRESS 0.. TO GO BACK"},
                   " MAIN MENU-ADVANCED-VIEW GENERAL HELP ",
                   {
                       {"1",
                        "GETTING THE INSTALLER",
                        {std::string("Download the installer from ") + CORVANE_WEB_SITE}},
                       {"2", "LAUNCHING THE INSTALLER", kManualHelpBody},
                       {"3",
                        "NAVIGATING THE INSTALLER",
                        {"Press the number keys on your keyboard to choose options"}},
                       {"4",
                        "INSTALLATION MENU CHOICES",
                        {"Please do not experiment with menu choices unless you have",
                         "read the entire help section"}},
                       {"5",
                        "UPGRADING THE INSTALLER",
                        {"Only use this option when directed by technical support"}},
                   });
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

std::vector<std::string> advancedMenuLines() {
    return {" > PRESS 1.. TO VIEW MENU HELP",
            " > PRESS 2.. TO VIEW GENERAL HELP",
            S().LOGGINGENABLED == 1 ? " > PRESS 3.. TO TOOGLE LOGGING= ENABLED"
                                    : " > PRESS 3.. TO TOOGLE LOGGING= DISABLED",
            " > PRESS 4.. TO CLEAR THE RUNLOG",
            " > PRESS 5.. TO VIEW THE RUNLOG",
            " > PRESS 6.. TO VIEW PRODUCT INFORMATION",
            " > PRESS 7.. TO VIEW LEGAL INFORMATION",
            " > PRESS 8.. TO VIEW AUTHOR INFORMATION",
            " > PRESS 9.. TO VIEW TECHNICAL INFORMATION",
            " > PRESS 0.. TO GO BACK"};
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

void runAdvancedMenu() {
    auto& s = S();
    while (true) {
        drawMenuPage(" MAIN MENU-ADVANCED   ", advancedMenuLines());
        s.ZXINKEY = console::waitMenuKey();
        const std::string key = s.ZXINKEY;
        if (key == "0") break;
        if (key == "1") runMenuHelp();
        if (key == "2") runGeneralHelp();
        if (key == "3") s.LOGGINGENABLED = s.LOGGINGENABLED == 0 ? 1 : 0;
        if (key == "4") clearRunLog();
        if (key == "5") viewRunLog();
        auto info = informationPage(key);
        if (!info.empty()) {
            console::drawPage(info);
            console::waitMenuKey();
        }
    }
    s.ZXINKEY.clear();
}
