// The installation menu loop: change of the displayed path, the two automatic installations,
// deletion and uninstallation, and the way back to the top menu.
#include "install/install_menu.h"

#include "console/console.h"
#include "core/shared_state.h"
#include "install/auto_install.h"
#include "install/installation_flow.h"
#include "install/plan_screen.h"
#include "install/removal.h"
#include "install/summary.h"
#include "install/typed_path.h"

namespace install {

namespace {

// The typed path (made absolute and checked) becomes the installation path that keys 2, 3, 7
// and 9 work on; an empty answer goes back to the home folder. A refused path is said on the
// next drawing; otherwise the menu shows its waiting text.
console::Next changeInstallationPath() {
    auto& s = S();
    console::clearScreen();
    console::printLine(" ");
    const std::string typed = console::promptLine("Please specify the new installation path = ");
    const TypedPath taken =
        typed.empty() ? TypedPath{s.CURRENTUSERHOMEPATH, ""} : checkedPath(typed, startFolder());
    if (!taken.path) return console::stayShowing(console::kStatusLabel + taken.refusal);
    s.APPLICATIONTEXTWALLETINSTALLATIONPATH = *taken.path;
    s.APPLICATIONTEXTWALLETAPPLICATIONPATH = *taken.path;
    return console::stay();
}

// An installation that did not end the program leaves its last status on the menu.
console::Next installAndExit() {
    // Nothing changes before the user said yes to the plan.
    const PlanAnswer answer = askPlan(Variant::A, S().APPLICATIONTEXTWALLETINSTALLATIONPATH);
    if (answer == PlanAnswer::Back)
        return console::stayShowing(std::string(console::kStatusLabel) + kPlanDeclinedStatus);
    RunChoices choices;
    choices.systemPackages = answer != PlanAnswer::WithoutSystemPackages;
    const InstallationRun run = runAutomaticInstallation(
        Variant::A, [] { return installationMenuLines(true); }, choices);
    if (run.outcome != Outcome::Stopped) endProgramAfterInstallation(run.installation);
    showInstallationSummary(run);
    return console::stayShowing(S().APPLICATIONTEXTWALLETCURRENTSTATUS);
}

// A completed installation leaves the menu's waiting text; any other its last status.
console::Next installAndStay() {
    const InstallationRun run = runAutomaticInstallation(Variant::B);
    showInstallationSummary(run);
    if (run.outcome == Outcome::Completed) return console::stay();
    return console::stayShowing(S().APPLICATIONTEXTWALLETCURRENTSTATUS);
}

}  // namespace

console::Menu installationMenu(const std::string& applicationPath,
                               const std::string& installationDate, bool progress) {
    console::Menu menu;
    menu.entries = {
        {"", " MAIN MENU-INSTALLATION    "},
        {"", " "},
        {"", " "},
        {"", "  CURRENT INSTALLATION PATH= " + applicationPath},
        {"", " "},
        {"", " "},
        {"", " "},
        {"", "  INSTALLATION DATE= " + installationDate},
        {"", " "},
        {"1", " > PRESS 1..CHANGE CURRENT INSTALLATION PATH", changeInstallationPath},
        {"", " "},
        {"2", " > PRESS 2..INSTALL THE CORVANE WALLET FOR THIS USER AND EXIT INSTALLER",
         installAndExit},
        {"", " "},
        {"3", " > PRESS 3..INSTALL THE CORVANE WALLET FOR THIS USER AND NOT EXIT INSTALLER",
         installAndStay},
        {"", " "},
    };
    // The progress form, drawn while the installation that ends the program runs, offers
    // neither deletion nor uninstallation.
    if (!progress) {
        menu.entries.insert(
            menu.entries.end(),
            {{"7", " > PRESS 7..TO DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH",
              console::staying(deleteAllWalletFiles)},
             {"", " "},
             {"9", " > PRESS 9..TO UNINSTALL THE WALLET FROM THE CURRENT INSTALLATION PATH",
              console::staying(uninstallWallet)},
             {"", " "}});
    }
    menu.entries.push_back({"0", " > PRESS 0..GO BACK"});
    return menu;
}

std::vector<std::string> installationMenuLines(bool progress) {
    return console::menuLines(installationMenu(S().APPLICATIONTEXTWALLETAPPLICATIONPATH,
                                               S().APPLICATIONTEXTWALLETINSTALLATIONDATE,
                                               progress));
}

}  // namespace install

void runInstallationMenu() {
    console::runMenu(
        [] {
            const auto& s = S();
            console::Menu menu =
                install::installationMenu(s.APPLICATIONTEXTWALLETAPPLICATIONPATH,
                                          s.APPLICATIONTEXTWALLETINSTALLATIONDATE, false);
            menu.status = console::kAwaitingStatus;
            return menu;
        },
        S().ZXINKEY);
}
