// The selected-wallet menu: its screen, key "1" (the typed path), and variants C and D of the
// automatic installation on keys "2" and "3".
#include "install/selected_wallet_menu.h"

#include "console/console.h"
#include "core/shared_state.h"
#include "install/auto_install.h"
#include "install/installation_flow.h"
#include "install/plan_screen.h"
#include "install/summary.h"
#include "install/typed_path.h"
#include "storage/wallet_scan.h"

namespace {

// Installs, and shows the summary when a step failed; the menu's status then says so.
void installWith(install::Variant v) {
    install::showInstallationSummary(install::runAutomaticInstallation(v));
}

void installForThisUser() { installWith(install::Variant::C); }
// Root installs the launcher for all users: only after the user said yes to the plan.
void installForAllUsers() {
    SharedState& s = S();
    if (install::askPlan(install::Variant::D, s.APPLICATIONTEXTWALLETINSTALLATIONPATH) ==
        install::PlanAnswer::Back) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = install::kPlanDeclinedStatus;
        return;
    }
    installWith(install::Variant::D);
}

}  // namespace

namespace install {

console::Menu selectedWalletMenu(std::string_view installationPath,
                                 std::string_view installationDate, std::string_view status) {
    console::Menu menu;
    // This menu shows the status of the last action as it stands: it sets no text of its own.
    menu.statusPlace = console::StatusPlace::Row21Column2;
    menu.status = std::string(status);
    menu.entries = {
        {"", " "},
        {"", " "},
        {"", " CURRENT PATH= " + std::string(installationPath)},
        {"", " "},
        {"", " INSTALLATION DATE= " + std::string(installationDate)},
        {"", " "},
        {"", " "},
        {"1", " > PRESS 1.. TO CHANGE CURRENT PATH OF RUNTIME FOLDER",
         console::staying(install::askTargetLocation)},
        {"", " "},
        {"2", " > PRESS 2.. TO FULLY INSTALL THE CORVANE WALLET FOR THIS USER",
         console::staying(installForThisUser)},
        {"", " "},
        {"3", " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS",
         console::staying(installForAllUsers)},
        {"", " "},
        {"0", " > PRESS 0.. TO GO BACK"},
        {"", " "},
        {"", " "},
    };
    return menu;
}

}  // namespace install

void runSelectedWalletMenu() {
    auto& s = S();
    // The top menu replaced the scan's status with its own waiting text; while the path is
    // still the one the scan selected, its status is what this menu has to say.
    if (!storage::lastScan().status.empty() &&
        storage::lastScan().installationPath == s.APPLICATIONTEXTWALLETINSTALLATIONPATH) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = storage::lastScan().status;
    }
    console::runMenu(
        [] {
            const auto& st = S();
            return install::selectedWalletMenu(st.APPLICATIONTEXTWALLETINSTALLATIONPATH,
                                               st.APPLICATIONTEXTWALLETINSTALLATIONDATE,
                                               st.APPLICATIONTEXTWALLETCURRENTSTATUS);
        },
        s.ZXINKEY);
}
