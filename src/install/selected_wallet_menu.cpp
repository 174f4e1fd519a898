// The selected-wallet menu: its screen, the path rule of key "1", and variants C and D of the
// automatic installation on keys "2" and "3".
#include "install/selected_wallet_menu.h"

#include "console/console.h"
#include "core/shared_state.h"
#include "install/auto_install.h"
#include "install/typed_path.h"
#include "storage/wallet_scan.h"

namespace install {

std::vector<std::string> selectedWalletMenuLines(std::string_view installationPath,
                                                 std::string_view installationDate) {
    return {" ",
            " ",
            " CURRENT PATH= " + std::string(installationPath),
            " ",
            " INSTALLATION DATE= " + std::string(installationDate),
            " ",
            " ",
            " > PRESS 1.. TO CHANGE CURRENT PATH OF RUNTIME FOLDER",
            " ",
            " > PRESS 2.. TO FULLY INSTALL THE CORVANE WALLET FOR THIS USER",
            " ",
            " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS",
            " ",
            " > PRESS 0.. TO GO BACK",
            " ",
            " "};
}

std::string selectedWalletStatusLine(std::string_view status) {
    return " APPLICATION STATUS= " + std::string(status);
}

}  // namespace install

namespace {

void drawSelectedWalletMenu() {
    const auto& s = S();
    console::drawPage(install::selectedWalletMenuLines(s.APPLICATIONTEXTWALLETINSTALLATIONPATH,
                                                       s.APPLICATIONTEXTWALLETINSTALLATIONDATE));
    console::moveCursor(install::kSelectedWalletStatusRow, install::kSelectedWalletStatusColumn);
    console::print(install::selectedWalletStatusLine(s.APPLICATIONTEXTWALLETCURRENTSTATUS));
}

void installForThisUser() { install::runAutomaticInstallation(install::Variant::C); }
void installForAllUsers() { install::runAutomaticInstallation(install::Variant::D); }

struct MenuKey {
    const char* key;
    void (*action)();
};

const MenuKey kSelectedWalletKeys[] = {
    {"1", install::askTargetLocation},
    {"2", installForThisUser},
    {"3", installForAllUsers},
};

}  // namespace

void runSelectedWalletMenu() {
    auto& s = S();
    // The top menu replaced the scan's status with its own waiting text; while the path is
    // still the one the scan selected, its status is what this menu has to say.
    if (!storage::lastScan().status.empty() &&
        storage::lastScan().installationPath == s.APPLICATIONTEXTWALLETINSTALLATIONPATH) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = storage::lastScan().status;
    }
    while (true) {
        drawSelectedWalletMenu();
        s.ZXINKEY = console::waitMenuKey();
        const std::string key = s.ZXINKEY;
        if (key == "0") break;
        for (const auto& entry : kSelectedWalletKeys) {
            if (key == entry.key) {
                s.ZXINKEY.clear();
                entry.action();
            }
        }
    }
    s.ZXINKEY.clear();
}
