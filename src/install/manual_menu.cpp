// The manual installation menu: its screen and options 1 to 7, each a step of the automatic
// installation or of the launcher writing run on its own.
#include "install/manual_menu.h"

#include <filesystem>
#include <optional>

#include "config/custom_file.h"
#include "console/console.h"
#include "console/menu.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/shell.h"
#include "install/auto_install.h"
#include "install/launchers.h"
#include "install/steps.h"
#include "install/typed_path.h"
#include "net/archive_check.h"
#include "net/downloads.h"
#include "privilege/privilege.h"
#include "stardate/stardate.h"

namespace fs = std::filesystem;

namespace install {

std::string manualArchiveFolder(std::string_view driverArchiveFolder, std::string_view ip) {
    if (!driverArchiveFolder.empty()) return std::string(driverArchiveFolder);
    return std::string(ip) + "/archive";
}

}  // namespace install

namespace {

using install::Installation;
using install::StepResult;
using install::StepState;

// The status text stands after " APPLICATION STATUS= " on the menu's last row.
constexpr std::size_t kManualStatusColumns = kScreenColumns - console::kMenuStatusLabelWidth;

// An option's installation: the layout of the selected-wallet installations on IP (archive in
// IP/archive/current, the files straight in IP), told on the status line only at its end.
Installation manualInstallation() {
    Installation in;
    in.ip = S().APPLICATIONTEXTWALLETINSTALLATIONPATH;
    in.plan = install::planFor(install::Variant::C, in.ip);
    in.plan.statusMode = install::StatusMode::Silent;
    in.plan.labelledStatus = false;
    in.plan.folders.clear();
    in.plan.sourceFolder =
        install::manualArchiveFolder(install::thisRun().archiveFolder, in.ip) + "/current";
    in.statusColumns = kManualStatusColumns;
    // What option 3 puts in place (into IP/wallet/ when that is a folder, as cp does): the
    // launchers of this menu start that program and show that icon.
    in.program = install::copyDestination("wallet", in.ip + "/wallet");
    in.icon = install::copyDestination("wallet.ico", in.ip + "/wallet.ico");
    return in;
}

// Runs an option's steps and its receipt; returns the first failure, if any (the status
// line then says it).
std::optional<StepResult> runOption(Installation& in, std::vector<install::Step> steps) {
    steps.push_back({"receipt", false, install::saveReceipt});
    install::runSteps(in, steps);
    for (const StepResult& r : in.results) {
        if (r.state != StepState::Failed) continue;
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = install::resultStatus(r, kManualStatusColumns);
        return r;
    }
    return std::nullopt;
}

// The download leaves the remote folder "current" below the working directory, so it runs in
// the archive folder: option 3 then finds the files in archive/current.
void downloadArchiveFolder() {
    Installation in = manualInstallation();
    install::thisRun().archiveFolder = in.ip + "/archive";
    in.plan.folders = {{in.ip, std::nullopt}, {in.ip + "/archive", std::nullopt}};
    in.plan.sourceFolder = install::thisRun().archiveFolder + "/current";
    if (!runOption(in, {{"make folders", true, install::makeFolders},
                        {"download", true, install::downloadArchive},
                        {"check the archive", true, install::checkArchive}}))
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = in.check->statusText();
}

void copyFromArchive() {
    Installation in = manualInstallation();
    // Checked again here: the archive may come from an earlier run, or have changed since.
    in.plan.folders = {{in.ip + "/control/applications/wallet/tellerData", std::nullopt, true}};
    if (!runOption(in, {{"check the archive", true, install::checkArchive},
                        {"copy icon", false, install::copyIcon},
                        {"make folders", false, install::makeFolders},
                        {"copy tellers", false, install::copyTellers},
                        {"copy program", true, install::copyProgram},
                        {"make executable", false, install::makeProgramExecutable}}))
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = in.check->statusText();
}

// Writes the option's launcher when the icon it names is there; the message says which.
void writeManualLauncher(Installation& in, const launchers::Placement& placement,
                         std::vector<install::Step> after = {}) {
    if (!entryExists(in.icon)) {
        const std::string folder = in.icon.substr(0, in.icon.rfind('/') + 1);
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::iconMissingMessage(folder);
        return;
    }
    in.placement = placement;
    std::vector<install::Step> steps = {{"write launchers", true, install::writeUserLaunchers}};
    steps.insert(steps.end(), after.begin(), after.end());
    if (!runOption(in, steps))
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::successMessage(placement.folder);
}

void desktopShortcut() {
    Installation in = manualInstallation();
    writeManualLauncher(in, launchers::manualDesktopPlacement(S().CURRENTUSERHOMEPATH));
}

void userMenuItem() {
    Installation in = manualInstallation();
    install::thisRun().archiveFolder = in.ip + "/archive";
    in.plan.sourceFolder = install::thisRun().archiveFolder + "/current";
    // The icon comes from the downloaded folder, archive/current, where option 2 leaves it.
    if (!entryExists(in.icon) && entryExists(in.plan.sourceFolder + "/wallet.ico") &&
        net::checkWalletArchive(in.plan.sourceFolder, false).allows("wallet.ico"))
        install::copyIcon(in);
    writeManualLauncher(in, launchers::manualUserMenuPlacement(S().CURRENTUSERHOMEPATH));
}

void allUsersMenuItem() {
    Installation in = manualInstallation();
    // What vouches for the program the launcher will start for every user: the archive it
    // came from (with no archive at all, nothing does, and the user is asked).
    in.check = net::checkWalletArchive(in.plan.sourceFolder, false);
    writeManualLauncher(in, launchers::manualAllUsersPlacement(S().CURRENTUSERHOMEPATH),
                        {{"before root", true, install::beforeArchiveGoesToRoot},
                         {"all-users launcher", false, install::installAllUsersLauncher}});
}

void recordThisInstall() {
    Installation in = manualInstallation();
    // wallet.cfg is written in the working directory: without the folder it would land
    // wherever the installer happens to stand.
    in.plan.folders = {{in.ip, std::nullopt}};
    runOption(in, {{"make folders", true, install::makeFolders},
                   {"record wallet.cfg", false, install::recordInstallation}});
}

}  // namespace

namespace install {

console::Menu manualMenu(std::string_view installationPath, std::string_view status) {
    console::Menu menu;
    // The status goes last without its line break: a status that wraps onto the bottom row
    // must not scroll the title off the screen.
    menu.statusPlace = console::StatusPlace::OpenLastLine;
    menu.status = std::string(status);
    menu.entries = {
        {"", " MAIN MENU-MANUAL INSTALLATION    "},
        {"", " "},
        {"", " "},
        {"", " CURRENT PATH= " + std::string(installationPath)},
        {"", " "},
        {"1", " > PRESS 1..TO CHANGE CURRENT PATH OF WALLET RUNTIME FOLDER",
         console::staying(install::askTargetLocation)},
        {"", " "},
        {"2", " > PRESS 2..TO DOWNLOAD ARCHIVE FOLDER INTO WALLET RUNTIME FOLDER",
         console::staying(downloadArchiveFolder)},
        {"", " "},
        {"3", " > PRESS 3..TO COPY WALLET,ICON AND TELLERS FILE FROM ARCHIVE TO RUNTIME FOLDERS",
         console::staying(copyFromArchive)},
        {"", " "},
        {"4", " > PRESS 4..TO SETUP AN EXECUTABLE SHORTCUT ON USER'S DESKTOP",
         console::staying(desktopShortcut)},
        {"", " "},
        {"5", " > PRESS 5..TO SETUP THE EXECUTABLE ITEM IN THIS USER'S APPLICATION MENU",
         console::staying(userMenuItem)},
        {"", " "},
        {"6", " > PRESS 6..TO SETUP THE EXECUTABLE ITEM FOR ALL USERS IN THE APPLICATION MENU",
         console::staying(allUsersMenuItem)},
        {"", " "},
        {"7", " > PRESS 7..TO RECORD THIS INSTALL IN wallet.cfg FILE IN WALLET RUNTIME FOLDER",
         console::staying(recordThisInstall)},
        {"", " "},
        {"0", " > PRESS 0..TO GO BACK"},
        {"", " "},
        {"", " "},
    };
    return menu;
}

}  // namespace install

void runManualInstallationMenu() {
    console::runMenu(
        [] {
            const auto& s = S();
            return install::manualMenu(s.APPLICATIONTEXTWALLETINSTALLATIONPATH,
                                       s.APPLICATIONTEXTWALLETCURRENTSTATUS);
        },
        S().ZXINKEY);
}
