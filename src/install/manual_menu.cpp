// The manual installation menu: its screen and options 1 to 7, each a step of the automatic
// installation or of the launcher writing run on its own.
#include "install/manual_menu.h"

#include <filesystem>
#include <optional>

#include "config/custom_file.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/shell.h"
#include "install/auto_install.h"
#include "install/launchers.h"
#include "install/trust.h"
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

void createFolder(const std::string& path) {
    S().FILEPATH = path;
    CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS();
}

// The status text stands after " APPLICATION STATUS= " on the menu's last row.
constexpr std::size_t kManualStatusColumns = install::kStatusColumns - 21;

// A copy that never arrived stops the option and says which file is missing.
std::optional<std::string> copyOrReport(const std::string& from, const std::string& to) {
    if (auto done = install::copyAndVerify(from, to)) return done;
    const std::string missing = entryExists(from) ? install::copyDestination(from, to) : from;
    S().APPLICATIONTEXTWALLETCURRENTSTATUS =
        install::missingFileStatus(missing, false, kManualStatusColumns);
    return std::nullopt;
}

// The launchers of this menu start the program and show the icon that option 3 puts at the
// installation path (into IP/wallet/ when that is a folder, as cp does).
void fillProgramAndIcon(launchers::Placement& p) {
    const std::string ip = S().APPLICATIONTEXTWALLETINSTALLATIONPATH;
    p.program = install::copyDestination("wallet", ip + "/wallet");
    p.icon = install::copyDestination("wallet.ico", ip + "/wallet.ico");
}

// The download leaves the remote folder "current" below the working directory, so it runs in
// the archive folder: option 3 then finds the files in archive/current.
void downloadArchiveFolder() {
    auto& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    createFolder(ip);
    install::thisRun().archiveFolder = ip + "/archive";
    createFolder(install::thisRun().archiveFolder);
    const std::string remembered = currentFolder();
    if (!enterFolder(install::thisRun().archiveFolder)) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = install::cannotEnterStatus(
            install::thisRun().archiveFolder, false, kManualStatusColumns);
        return;
    }
    s.REMOTEPATH = net::secondServerRemotePath();
    DOWNLOADTHEFOLDERWITHCONSOLEOUTPUT();
    enterFolder(remembered);
    if (net::lastDownloadRefusal())
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = *net::lastDownloadRefusal();
    else if (net::lastDownloadTimedOut())
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = install::downloadTimedOutStatus(false);
    else
        s.APPLICATIONTEXTWALLETCURRENTSTATUS =
            net::checkWalletArchive(install::thisRun().archiveFolder + "/current", true)
                .statusText();
}

void copyFromArchive() {
    auto& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    const std::string source =
        install::manualArchiveFolder(install::thisRun().archiveFolder, ip) + "/current";
    // Checked again here: the archive may come from an earlier run, or have changed since.
    const net::ArchiveCheck check = net::checkWalletArchive(source, true);
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = check.statusText();
    if (check.refused()) return;
    const auto icon = copyOrReport(source + "/wallet.ico", ip + "/wallet.ico");
    if (!icon) return;
    const std::string tellers = ip + "/control/applications/wallet/tellerData";
    createFolder(tellers);
    setOwnFolderMode(tellers, 0700);
    if (!copyOrReport(source + "/tellers", tellers + "/tellers")) return;
    const auto program = copyOrReport(source + "/Linux/wallet", ip + "/wallet");
    if (!program) return;
    install::makeExecutable(*program);
    install::thisRun().programPath = *program;
    install::thisRun().iconPath = *icon;
}

void desktopShortcut() {
    auto& s = S();
    const std::string home = s.CURRENTUSERHOMEPATH;
    // The desktop launcher always starts HOME/wallet/wallet, so its icon is looked for there.
    if (!entryExists(home + "/wallet/wallet.ico")) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::iconMissingMessage(home + "/wallet/");
        return;
    }
    auto placement = launchers::manualDesktopPlacement(home);
    fillProgramAndIcon(placement);
    install::thisRun().desktopLauncherPath = launchers::writeLauncher(placement);
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::successMessage(placement.folder);
}

void userMenuItem() {
    auto& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    install::thisRun().archiveFolder = ip + "/archive";
    // The icon comes from the downloaded folder, archive/current, where option 2 leaves it.
    const std::string archivedIcon = install::thisRun().archiveFolder + "/current/wallet.ico";
    if (!entryExists(ip + "/wallet.ico") && entryExists(archivedIcon) &&
        net::checkWalletArchive(install::thisRun().archiveFolder + "/current", false)
            .allows("wallet.ico"))
        install::copyAndVerify(archivedIcon, ip + "/wallet.ico");
    if (!entryExists(ip + "/wallet.ico")) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::iconMissingMessage(ip + "/");
        return;
    }
    auto placement = launchers::manualUserMenuPlacement(s.CURRENTUSERHOMEPATH);
    fillProgramAndIcon(placement);
    launchers::writeLauncher(placement);
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::successMessage(placement.folder);
}

void allUsersMenuItem() {
    auto& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    if (!entryExists(ip + "/wallet.ico")) {
        // Names the folder that was looked in.
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::iconMissingMessage(ip + "/");
        return;
    }
    const net::ArchiveCheck check = net::checkWalletArchive(
        install::manualArchiveFolder(install::thisRun().archiveFolder, ip) + "/current", false);
    if (!install::mayInstallForAllUsers(check, ip + "/wallet")) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = install::notAuthenticatedStatus(check, false);
        return;
    }
    auto placement = launchers::manualAllUsersPlacement(s.CURRENTUSERHOMEPATH);
    fillProgramAndIcon(placement);
    launchers::writeLauncher(placement);
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = launchers::successMessage(placement.folder);
}

void recordInstallation() {
    auto& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "CREATED " + install::thisRun().desktopLauncherPath;
    CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE();
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = s.CURRENTSTARDATE;
    const std::string remembered = currentFolder();
    // wallet.cfg is written in the working directory: without the folder it would land
    // wherever the installer happens to stand.
    createFolder(ip);
    if (!enterFolder(ip)) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS =
            install::cannotEnterStatus(ip, false, kManualStatusColumns);
        return;
    }
    s.FILEPATH = ip;
    s.FILENAME = "wallet.cfg";
    s.VALUEINITIATOROUTLIER = "=";
    s.VALUETERMINATOROUTLIER = "\r";
    s.OBJECTMARKER = "applicationTextWalletInstallationPath";
    s.OBJECTVALUE = ip;
    WRITEOBJECTANDVALUEINCUSTOMFILE();
    s.OBJECTMARKER = "applicationTextWalletInstallationDate";
    s.OBJECTVALUE = s.APPLICATIONTEXTWALLETINSTALLATIONDATE;
    WRITEOBJECTANDVALUEINCUSTOMFILE();
    enterFolder(remembered);
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
         install::askTargetLocation},
        {"", " "},
        {"2", " > PRESS 2..TO DOWNLOAD ARCHIVE FOLDER INTO WALLET RUNTIME FOLDER",
         downloadArchiveFolder},
        {"", " "},
        {"3", " > PRESS 3..TO COPY WALLET,ICON AND TELLERS FILE FROM ARCHIVE TO RUNTIME FOLDERS",
         copyFromArchive},
        {"", " "},
        {"4", " > PRESS 4..TO SETUP AN EXECUTABLE SHORTCUT ON USER'S DESKTOP", desktopShortcut},
        {"", " "},
        {"5", " > PRESS 5..TO SETUP THE EXECUTABLE ITEM IN THIS USER'S APPLICATION MENU",
         userMenuItem},
        {"", " "},
        {"6", " > PRESS 6..TO SETUP THE EXECUTABLE ITEM FOR ALL USERS IN THE APPLICATION MENU",
         allUsersMenuItem},
        {"", " "},
        {"7", " > PRESS 7..TO RECORD THIS INSTALL IN wallet.cfg FILE IN WALLET RUNTIME FOLDER",
         recordInstallation},
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
