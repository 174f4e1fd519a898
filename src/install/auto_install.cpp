// The automatic installation flow: folders, download, copies, packages, launcher, wallet.cfg
// records and provisioning, in one sequence driven by the variant's plan.
#include "install/auto_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "config/custom_file.h"
#include "config/object_marker_file.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/whole_file.h"
#include "install/launchers.h"
#include "install/trust.h"
#include "net/archive_check.h"
#include "net/downloads.h"
#include "privilege/privilege.h"
#include "provision/provisioning.h"
#include "stardate/stardate.h"

namespace fs = std::filesystem;

namespace install {

namespace {

constexpr const char* kLabel = "APPLICATION STATUS= ";

// One flow run: knows how the plan wants its progress told.
class Flow {
public:
    Flow(const VariantPlan& plan, const ProgressScreen& progressScreen)
        : plan_(plan), progressScreen_(progressScreen) {}

    void status(const std::string& text) {
        if (plan_.statusMode == StatusMode::Silent) return;
        console::showStatus(label(text));
    }
    // The progress screen and a status text (variant A); the status line alone otherwise.
    void redrawThenStatus(const std::string& text) {
        if (plan_.statusMode == StatusMode::Redraw && progressScreen_) {
            console::drawMenu(progressScreen_(), label(text));
        } else {
            status(text);
        }
    }
    std::string label(const std::string& text) const {
        return plan_.labelledStatus ? kLabel + text : text;
    }
    // The file copy put in place, or nullopt (and the missing file noted).
    std::optional<std::string> copy(const std::string& from, const std::string& to) {
        if (auto done = copyAndVerify(from, to)) return done;
        missing_ = entryExists(from) ? copyDestination(from, to) : from;
        return std::nullopt;
    }
    const std::string& missing() const { return missing_; }

private:
    const VariantPlan& plan_;
    const ProgressScreen& progressScreen_;
    std::string missing_;
};

// Room for a stop status's text: after the label on the 80 columns of row 22, or (variant D,
// unlabelled) after the selected-wallet menu's " APPLICATION STATUS= " at column 2.
std::size_t statusTextColumns(const VariantPlan& plan) {
    return plan.labelledStatus ? kStatusColumns - std::string_view(kLabel).size()
                               : kStatusColumns - 1 - 21;
}

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

std::string copyDestination(const std::string& from, const std::string& to) {
    if (!isFolder(to)) return to;
    std::string_view name = from;
    while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
    name = name.substr(name.rfind('/') == std::string_view::npos ? 0 : name.rfind('/') + 1);
    return to + (!to.empty() && to.back() == '/' ? "" : "/") + std::string(name);
}

namespace {

// Copies one regular file to a destination that is not a link; true when all was written.
bool copyFileOnce(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    bool ok = fstat(in, &st) == 0 && S_ISREG(st.st_mode);
    const mode_t mode = ok ? (st.st_mode & 0755) : 0644;
    int out =
        ok ? open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode) : -1;
    ok = out >= 0;
    char buf[65536];
    while (ok) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(out, std::string_view(buf, static_cast<std::size_t>(n))) == 0;
    }
    if (out >= 0) {
        fchmod(out, mode);  // an older file keeps no write bits for others
        ok = close(out) == 0 && ok;
    }
    close(in);
    return ok;
}

// A regular file (not a link) of that size stands at path.
bool arrived(const std::string& path, off_t size) {
    const auto st = host::statPath(path, host::Links::Refuse);
    return st && S_ISREG(st->st_mode) && st->st_size == size;
}

}  // namespace

std::optional<std::string> copyAndVerify(const std::string& from, const std::string& to) {
    for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
        // Asked anew each time: the source or the target folder may appear meanwhile.
        const std::string destination = copyDestination(from, to);
        const auto src = host::statPath(from);
        if (src && S_ISREG(src->st_mode)) {
            copyFileOnce(from, destination);
            if (arrived(destination, src->st_size)) return destination;
        }
        if (attempt < kCopyAttempts) platform().sleepMs(kCopyRetryMs);
    }
    return std::nullopt;
}

bool makeExecutable(const std::string& file) {
    int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool ok =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && fchmod(fd, (st.st_mode & 07777) | 0111) == 0;
    close(fd);
    return ok;
}

std::string fitWithPath(const std::string& text, const std::string& path, std::size_t columns) {
    if (text.size() + path.size() <= columns) return text + path;
    constexpr std::string_view kCut = "...";
    if (text.size() + kCut.size() >= columns) return (text + path).substr(0, columns);
    const std::size_t keep = columns - text.size() - kCut.size();
    return text + std::string(kCut) + path.substr(path.size() - keep);
}

std::string missingFileStatus(const std::string& path, bool labelled, std::size_t columns) {
    return fitWithPath(std::string(labelled ? kLabel : "") + "Installation Stopped, Missing File ",
                       path, columns);
}

std::string unsafePackageStatus(const std::string& path, bool labelled, std::size_t columns) {
    return fitWithPath(
        std::string(labelled ? kLabel : "") + "Installation Stopped, Others Can Change ", path,
        columns);
}

std::string cannotEnterStatus(const std::string& folder, bool labelled, std::size_t columns) {
    return fitWithPath(std::string(labelled ? kLabel : "") + "Installation Stopped, Cannot Enter ",
                       folder, columns);
}

std::string downloadTimedOutStatus(bool labelled) {
    return std::string(labelled ? kLabel : "") + "Installation Stopped, Download Timed Out After " +
           std::to_string(net::wgetTotalSeconds()) + " Seconds";
}

RunRecord& thisRun() {
    static RunRecord record;
    return record;
}

Outcome runAutomaticInstallation(Variant v, const ProgressScreen& progressScreen) {
    SharedState& s = S();
    const std::string ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    const VariantPlan plan = planFor(v, ip);
    const std::string startFolder = currentFolder();
    Flow flow(plan, progressScreen);

    auto stopWith = [&](const std::string& text) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = flow.label(text);
        if (plan.statusMode != StatusMode::Silent) console::drawStatusLine();
        enterFolder(startFolder);
        return Outcome::Stopped;
    };
    auto stop = [&]() {
        return stopWith(missingFileStatus(flow.missing(), false, statusTextColumns(plan)));
    };

    // The spinner turns while each of the flow's commands runs.
    ScopedCommandTicker spinner(console::spinWhileCommandRuns);
    s.ZXINKEY.clear();
    for (std::size_t i = 0; i < plan.folders.size(); ++i) {
        const FolderStep& f = plan.folders[i];
        if (f.status) flow.status(*f.status);
        createFolder(f.path);
        if (i == 0) {
            // The tellers data folder (the first one) holds the wallet's own data.
            setOwnFolderMode(f.path, 0700);
            s.CURRENTWALLETARCHIVEPATH = plan.archivePath;
            if (plan.applicationPath)
                s.APPLICATIONTEXTWALLETAPPLICATIONPATH = *plan.applicationPath;
        }
    }

    std::error_code ec;
    const std::string localWget = currentFolder() + "/wget";
    if (fs::is_regular_file(localWget, ec) && !flow.copy(localWget, ip + "/wget")) return stop();

    // wget mirrors below the working folder: run anywhere else, it would fill that folder.
    if (!enterFolder(plan.downloadFolder)) {
        return stopWith(cannotEnterStatus(plan.downloadFolder, false, statusTextColumns(plan)));
    }
    flow.redrawThenStatus("Downloading Files");
    if (plan.download == Download::ArchiveRefresh) {
        DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER();
    } else {
        s.REMOTEPATH = net::secondServerRemotePath();
        DOWNLOADTHEFOLDERWITHCONSOLEOUTPUT();
    }
    if (net::lastDownloadRefusal()) return stopWith(*net::lastDownloadRefusal());
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
    if (!mayInstallOlderArchive(check, plan.configFolder)) return stopWith(rollbackStatus(false));

    const auto icon = flow.copy(plan.sourceFolder + "/wallet.ico", plan.iconTarget);
    if (!icon) return stop();
    if (plan.tellersTarget && !flow.copy(plan.sourceFolder + "/tellers", *plan.tellersTarget)) {
        return stop();
    }
    const std::string linuxFolder = plan.sourceFolder + "/Linux";
    if (plan.installPackages && !mayHandPackagesToRoot(check, linuxFolder, walletPackages())) {
        return stopWith(notAuthenticatedStatus(check, false));
    }
    if (plan.installPackages) {
        for (const std::string& deb : walletPackages()) {
            const std::string package = linuxFolder + "/" + deb;
            if (!entryExists(package) || !check.allows("Linux/" + deb)) continue;
            // Root installs it: refused when anybody but root or this user could have put
            // another file there.
            if (pathOthersCanChange(package, getuid())) {
                return stopWith(unsafePackageStatus(package, false, statusTextColumns(plan)));
            }
            runElevated("dpkg -i -- " + shellQuote(package));
        }
    }
    const auto program = flow.copy(linuxFolder + "/wallet", plan.programTarget);
    if (!program) return stop();
    if (plan.waitAfterProgramMs > 0) platform().sleepMs(plan.waitAfterProgramMs);
    makeExecutable(*program);
    install::thisRun().programPath = *program;
    install::thisRun().iconPath = *icon;

    const std::string home = s.CURRENTUSERHOMEPATH;
    launchers::Placement placement = launchers::automaticPlacement(plan.launcherVariant, home);
    placement.program = *program;
    placement.icon = *icon;
    if (plan.launcherVariant == 'D' && !mayInstallForAllUsers(check, *program)) {
        return stopWith(notAuthenticatedStatus(check, false));
    }
    flow.redrawThenStatus("Creating desktop shortcut");
    const std::string launcher = launchers::writeLauncher(placement);
    install::thisRun().desktopLauncherPath = launcher;
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "CREATED " + launcher;

    CONVERTCURRENTLOCALOPERATINGSYSTEMDATEANDTIMEINTOLOCALCURRENTFILESYSTEMSALLOWEDSTARDATE();
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = s.CURRENTSTARDATE;

    // wallet.cfg is written in the working folder: anywhere else it would be lost there.
    if (!enterFolder(plan.configFolder)) {
        return stopWith(cannotEnterStatus(plan.configFolder, false, statusTextColumns(plan)));
    }
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
    if (plan.statusMode == StatusMode::Redraw && progressScreen) {
        console::drawMenu(progressScreen(), flow.label(plan.finalStatus));
    } else if (plan.statusMode != StatusMode::Silent) {
        console::showStatus(flow.label(plan.finalStatus));
    } else {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = flow.label(plan.finalStatus);
    }
    return Outcome::Completed;
}

void endProgramAfterInstallation() { std::exit(0); }

}  // namespace install
