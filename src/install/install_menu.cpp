// The installation menu loop: change of the displayed path, the two automatic installations,
// deletion and uninstallation, and the way back to the top menu.
#include "install/install_menu.h"

#include <optional>

#include "console/console.h"
#include "core/shared_state.h"
#include "install/auto_install.h"
#include "install/removal.h"

namespace install {

std::vector<std::string> installationMenuLines(const std::string& applicationPath,
                                               const std::string& installationDate, bool progress) {
    std::vector<std::string> lines = {
        " MAIN MENU-INSTALLATION    ",
        " ",
        " ",
        "  CURRENT INSTALLATION PATH= " + applicationPath,
        " ",
        " ",
        " ",
        "  INSTALLATION DATE= " + installationDate,
        " ",
        " > PRESS 1..CHANGE CURRENT INSTALLATION PATH",
        " ",
        " > PRESS 2..INSTALL THE CORVANE WALLET FOR THIS USER AND EXIT INSTALLER",
        " ",
        " > PRESS 3..INSTALL THE CORVANE WALLET FOR THIS USER AND NOT EXIT INSTALLER",
        " ",
    };
    if (!progress) {
        lines.insert(
            lines.end(),
            {" > PRESS 7..TO DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH", " ",
             " > PRESS 9..TO UNINSTALL THE WALLET FROM THE CURRENT INSTALLATION PATH", " "});
    }
    lines.push_back(" > PRESS 0..GO BACK");
    return lines;
}

std::vector<std::string> installationMenuLines(bool progress) {
    return installationMenuLines(S().APPLICATIONTEXTWALLETAPPLICATIONPATH,
                                 S().APPLICATIONTEXTWALLETINSTALLATIONDATE, progress);
}

}  // namespace install

void runInstallationMenu() {
    SharedState& s = S();
    // A flow that stopped on a missing file leaves its status for the next drawing only;
    // otherwise the menu shows its waiting text.
    std::optional<std::string> stoppedStatus;
    for (;;) {
        console::drawMenu(install::installationMenuLines(false),
                          stoppedStatus.value_or(console::kAwaitingStatus));
        stoppedStatus.reset();
        s.ZXINKEY = console::waitMenuKey();
        const std::string key = s.ZXINKEY;
        if (key == "1") {
            s.ZXINKEY.clear();
            console::clearScreen();
            console::printLine(" ");
            s.APPLICATIONTEXTWALLETAPPLICATIONPATH =
                console::promptLine("Please specify the new installation path = ");
        } else if (key == "2") {
            if (install::runAutomaticInstallation(install::Variant::A, [] {
                    return install::installationMenuLines(true);
                }) == install::Outcome::Completed) {
                install::endProgramAfterInstallation();
            }
            stoppedStatus = s.APPLICATIONTEXTWALLETCURRENTSTATUS;
        } else if (key == "3") {
            if (install::runAutomaticInstallation(install::Variant::B) ==
                install::Outcome::Stopped) {
                stoppedStatus = s.APPLICATIONTEXTWALLETCURRENTSTATUS;
            }
        } else if (key == "7") {
            deleteAllWalletFiles();
        } else if (key == "9") {
            uninstallWallet();
        } else if (key == "0") {
            s.ZXINKEY.clear();
            return;
        }
        s.ZXINKEY.clear();
    }
}
