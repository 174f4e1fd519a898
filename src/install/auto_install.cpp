// The automatic installation flow: folders, download, copies, packages, launcher, wallet.cfg
// records and provisioning, in one sequence driven by the variant's plan.
#include "install/auto_install.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/installWalletForLinux.h"
#include "console/console.h"
#include "host/file_ops.h"
#include "host/platform.h"
#include "host/shell.h"
#include "install/install_menu.h"
#include "install/launchers.h"
#include "net/archive_check.h"
#include "net/downloads.h"

namespace fs = std::filesystem;

namespace install {

namespace {

constexpr const char* kLabel = "APPLICATION STATUS= ";

// One flow run: knows how the plan wants its progress told.
class Flow {
public:
    explicit Flow(const VariantPlan& plan) : plan_(plan) {}

    void status(const std::string& text) {
        if (plan_.statusMode == StatusMode::Silent) return;
        console::showStatus(label(text));
    }
    // The progress screen and a status text (variant A); the status line alone otherwise.
    void redrawThenStatus(const std::string& text) {
        if (plan_.statusMode == StatusMode::Redraw) {
            console::drawMenu(installationMenuLines(true), label(text));
        } else {
            status(text);
        }
    }
    std::string label(const std::string& text) const {
        return plan_.labelledStatus ? kLabel + text : text;
    }
    bool copy(const std::string& from, const std::string& to) {
        if (copyAndVerify(from, to)) return true;
        missing_ = from;
        return false;
    }
    const std::string& missing() const { return missing_; }

private:
    const VariantPlan& plan_;
    std::string missing_;
};

void createFolder(const std::string& path) {
    S().FILEPATH = path;
    CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS();
}

}  // namespace

const std::vector<std::string>& walletPackages() {
    static const std::vector<std::string> kDebs = {"libminiupnpc18_2.2.8-2+b2_amd64.deb",
                                                   "miniupnpc18_2.2.8-2+b2_amd64.deb"};
    return kDebs;
}

VariantPlan planFor(Variant v, const std::string& ip) {
    VariantPlan p;
    p.variant = v;
    if (v == Variant::A) {
        const std::string ap = ip + "/wallet";
        p.statusMode = StatusMode::Redraw;
        p.folders = {
            {ap + "/control/applications/wallet/tellerData", "Creating Teller FilePath Directory"},
            {ap, "Creating Directories"},
            {ap + "/archive/wallet/current/Linux", std::nullopt}};
        p.applicationPath = ap;
        p.archivePath = ap + "/archive";
        p.downloadFolder = ap;
        p.download = Download::ArchiveRefresh;
        p.sourceFolder = ap + "/archive/wallet/current";
        p.iconTarget = ap + "/wallet.ico";
        p.installPackages = true;
        p.programTarget = ap + "/wallet";
        p.waitAfterProgramMs = 5000;
        p.launcherVariant = 'A';
        p.configFolder = ap;
        p.applicationPathRecord = true;
        p.provisionPackages = true;
        p.finalStatus = "Installation Complete, Exiting installer. ";
        return p;
    }
    const std::string archive = ip + "/archive";
    const std::optional<std::string> dirStatus =
        v == Variant::D ? std::nullopt : std::optional<std::string>("Creating Directories");
    p.statusMode = v == Variant::D ? StatusMode::Silent : StatusMode::Shown;
    p.labelledStatus = v != Variant::D;
    const std::string tellers = ip + "/control/applications/wallet/tellerData";
    p.folders = {{tellers, dirStatus}, {ip, dirStatus}, {archive, dirStatus}};
    p.archivePath = archive;
    p.downloadFolder = archive;
    if (v == Variant::B) {
        // The archive refresh recreates the remote folder below the working directory.
        p.download = Download::ArchiveRefresh;
        p.sourceFolder = archive + "/archive/wallet/current";
    } else {
        p.download = Download::FolderDownload;
        p.sourceFolder = archive + "/current";
    }
    p.iconTarget = ip + "/wallet.ico";
    p.tellersTarget = tellers + "/tellers";
    p.programTarget = ip + "/wallet";
    p.launcherVariant = v == Variant::B ? 'B' : v == Variant::C ? 'C' : 'D';
    p.configFolder = ip;
    p.finalStatus = "Installation Complete, Awating user input";
    return p;
}

bool copyAndVerify(const std::string& from, const std::string& to) {
    for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
        std::error_code ec;
        fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
        if (entryExists(to)) return true;
        if (attempt < kCopyAttempts) platform().sleepMs(kCopyRetryMs);
    }
    return false;
}

std::string missingFileStatus(const std::string& path, bool labelled) {
    return std::string(labelled ? kLabel : "") + "Installation Stopped, Missing File " + path;
}

std::string downloadTimedOutStatus(bool labelled) {
    return std::string(labelled ? kLabel : "") + "Installation Stopped, Download Timed Out After " +
           std::to_string(net::wgetTotalSeconds()) + " Seconds";
}

Outcome runAutomaticInstallation(Variant v) {
    SharedState& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    const VariantPlan plan = planFor(v, ip);
    const std::string startFolder = currentFolder();
    Flow flow(plan);

    auto stopWith = [&](const std::string& text) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = flow.label(text);
        if (plan.statusMode != StatusMode::Silent) console::drawStatusLine();
        enterFolder(startFolder);
        return Outcome::Stopped;
    };
    auto stop = [&]() { return stopWith(missingFileStatus(flow.missing(), false)); };

    s.ZXINKEY.clear();
    for (std::size_t i = 0; i < plan.folders.size(); ++i) {
        const FolderStep& f = plan.folders[i];
        if (f.status) flow.status(*f.status);
        createFolder(f.path);
        if (i == 0) {
            s.CURRENTWALLETARCHIVEPATH = plan.archivePath;
            if (plan.applicationPath)
                s.APPLICATIONTEXTWALLETAPPLICATIONPATH = *plan.applicationPath;
        }
    }

    std::error_code ec;
    const std::string localWget = currentFolder() + "/wget";
    if (fs::is_regular_file(localWget, ec) && !flow.copy(localWget, ip + "/wget")) return stop();

    enterFolder(plan.downloadFolder);
    flow.redrawThenStatus("Downloading Files");
    if (plan.download == Download::ArchiveRefresh) {
        DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER();
    } else {
        s.REMOTEPATH = net::secondServerRemotePath();
        DOWNLOADTHEFOLDERWITHCONSOLEOUTPUT();
    }
    if (net::lastDownloadTimedOut()) {
        // What the stopped download left may be cut short: nothing of it is installed.
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = downloadTimedOutStatus(plan.labelledStatus);
        if (plan.statusMode != StatusMode::Silent) console::drawStatusLine();
        enterFolder(startFolder);
        return Outcome::Stopped;
    }

    // Nothing leaves the archive before it has passed its check.
    const net::ArchiveCheck check =
        net::checkWalletArchive(plan.sourceFolder, plan.tellersTarget.has_value());
    if (check.refused()) return stopWith(check.statusText());
    flow.status(check.statusText());

    if (!flow.copy(plan.sourceFolder + "/wallet.ico", plan.iconTarget)) return stop();
    if (plan.tellersTarget && !flow.copy(plan.sourceFolder + "/tellers", *plan.tellersTarget)) {
        return stop();
    }
    const std::string linuxFolder = plan.sourceFolder + "/Linux";
    if (plan.installPackages) {
        for (const std::string& deb : walletPackages()) {
            if (entryExists(linuxFolder + "/" + deb) && check.allows("Linux/" + deb)) {
                runElevated("dpkg -i " + shellQuote(linuxFolder + "/" + deb));
            }
        }
    }
    if (!flow.copy(linuxFolder + "/wallet", plan.programTarget)) return stop();
    if (plan.waitAfterProgramMs > 0) platform().sleepMs(plan.waitAfterProgramMs);
    if (entryExists(plan.programTarget)) runElevated("chmod a+x " + shellQuote(plan.programTarget));

    const std::string home = s.CURRENTUSERHOMEPATH;
    launchers::Placement placement = launchers::automaticPlacement(plan.launcherVariant, home);
    flow.redrawThenStatus("Creating desktop shortcut");
    const std::string launcher = launchers::writeLauncher(placement);
    s.lastDesktopLauncherPath = launcher;
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "CREATED " + launcher;

    CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE();
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = s.CURRENTSTARDATE;

    enterFolder(plan.configFolder);
    flow.redrawThenStatus("Updating configuration file");
    s.FILEPATH = plan.configFolder;
    s.FILENAME = "wallet.cfg";
    s.VALUEINITIATOROUTLIER = "=";
    s.VALUETERMINATOROUTLIER = "\r";
    std::vector<std::pair<std::string, std::string>> records = {
        {"applicationTextWalletInstallationPath", ip},
        {"applicationTextWalletInstallationDate", s.APPLICATIONTEXTWALLETINSTALLATIONDATE},
    };
    // Variant A records its application folder too, with the object-marker writer; the others
    // append their two records with the custom-file writer in the working directory (IP).
    if (plan.applicationPathRecord) {
        records.emplace_back("applicationTextWalletApplicationPath",
                             s.APPLICATIONTEXTWALLETAPPLICATIONPATH);
    }
    for (const auto& [marker, value] : records) {
        s.OBJECTMARKER = marker;
        s.OBJECTVALUE = value;
        if (plan.applicationPathRecord) {
            WRITEOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
        } else {
            WRITEOBJECTANDVALUEINCUSTOMFILE();
        }
    }

    if (plan.provisionPackages) {
        console::clearScreen();
        PROCESSCHECK64();
        console::clearScreen();
    }
    if (plan.statusMode == StatusMode::Redraw) {
        console::drawMenu(installationMenuLines(true), flow.label(plan.finalStatus));
    } else if (plan.statusMode == StatusMode::Shown) {
        console::showStatus(flow.label(plan.finalStatus));
    } else {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = flow.label(plan.finalStatus);
    }
    return Outcome::Completed;
}

void endProgramAfterInstallation() { std::exit(0); }

}  // namespace install
