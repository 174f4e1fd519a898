// The installation steps: each one does its part, checks every command and system call whose
// result matters, lays what it wrote in the receipt and says how it ended.
#include "install/steps.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "config/custom_file.h"
#include "config/object_marker_file.h"
#include "console/console.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/identity.h"
#include "host/no_follow.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/whole_file.h"
#include "install/desktop_trust.h"
#include "install/trust.h"
#include "net/downloads.h"
#include "net/sha256.h"
#include "provision/provisioning.h"
#include "stardate/stardate.h"

namespace install {

StepResult done(std::string step, std::string object) {
    return {StepState::Done, std::move(step), std::move(object), {}, false, {}};
}
StepResult skipped(std::string step, std::string object, std::string why) {
    return {StepState::Skipped, std::move(step), std::move(object), std::move(why), false, {}};
}
StepResult failed(std::string step, std::string object, std::string cause) {
    return {StepState::Failed, std::move(step), std::move(object), std::move(cause), false, {}};
}

bool Installation::anyFailed() const {
    for (const StepResult& r : results)
        if (r.state == StepState::Failed) return true;
    return false;
}

namespace {

using console::kStatusLabel;

std::string exitCause(const std::string& command, int status) {
    return command + " exit status " + std::to_string(status);
}

std::string errnoText(int err) { return std::strerror(err); }

void status(const Installation& in, const std::string& text) {
    if (in.plan.statusMode == StatusMode::Silent) return;
    console::showStatus(in.plan.labelledStatus ? kStatusLabel + text : text);
}

// The progress screen and a status text (variant A); the status line alone otherwise.
void redrawThenStatus(const Installation& in, const std::string& text) {
    if (in.plan.statusMode == StatusMode::Redraw && in.progressScreen && *in.progressScreen) {
        console::drawMenu((*in.progressScreen)(), kStatusLabel + text);
    } else {
        status(in, text);
    }
}

// The failure of a step whose commands run in folder, when they could not.
std::optional<StepResult> unenterableFolder(const Installation& in, const std::string& step,
                                            const std::string& folder) {
    const int err = folderEntryError(folder);
    if (err == 0) return std::nullopt;
    StepResult r = failed(step, folder, "cannot enter it: " + errnoText(err));
    r.stopStatus = cannotEnterStatus(folder, false, in.statusColumns);
    return r;
}

// A result of a step that handles several objects: each object's result is kept on its own,
// the step's own result only says whether any failed.
StepResult itemised(Installation& in, const std::string& step, std::vector<StepResult> items) {
    bool anyFailed = false;
    for (StepResult& r : items) {
        anyFailed = anyFailed || r.state == StepState::Failed;
        if (r.state != StepState::Done) in.results.push_back(std::move(r));
    }
    StepResult r = anyFailed ? failed(step, "", "") : done(step);
    r.itemised = true;
    return r;
}

// Makes one missing folder: as the user where the user may, else as root (and given to the
// user). Empty when it stands afterwards, else the cause.
std::string makeOneFolder(const std::string& folder) {
    const int err = makeFolder(folder);
    if (err == 0) return "";
    if (err != EACCES && err != EPERM && err != EROFS) return errnoText(err);
    const std::string mkdirLine = rootMkdirCommand(folder);
    if (const int st = runElevated(mkdirLine); st != 0) return exitCause("sudo mkdir", st);
    if (const int st = runElevated(rootChownCommand(folder, geteuid(), getegid())); st != 0)
        return exitCause("sudo chown", st);
    return canEnterFolder(folder) ? "" : "cannot enter it after sudo mkdir";
}

}  // namespace

StepResult makeFolders(Installation& in) {
    for (const FolderStep& f : in.plan.folders) {
        if (f.status) status(in, *f.status);
        for (const std::string& prefix : pathPrefixes(f.path)) {
            if (canEnterFolder(prefix)) continue;
            const bool existed = entryExists(prefix);
            const std::string cause = existed ? "cannot enter it" : makeOneFolder(prefix);
            if (!cause.empty()) {
                StepResult r = failed("make folders", prefix, cause);
                r.stopStatus = cannotEnterStatus(prefix, false, in.statusColumns);
                return r;
            }
            receipt::addFolder(in.laid, prefix);
        }
        if (f.privateFolder && !setOwnFolderMode(f.path, 0700))
            return failed("make folders", f.path, "cannot make it private: " + errnoText(errno));
    }
    return done("make folders");
}

StepResult copyStep(Installation& in, const std::string& step, const std::string& from,
                    const std::string& to, std::string* placed) {
    const CopyOutcome c = copyVerified(from, to);
    if (c.sameFile)
        return skipped(step, copyDestination(from, to), "source and target are the same file");
    if (!c.destination) {
        const bool missing = !entryExists(from);
        StepResult r = failed(step, missing ? from : copyDestination(from, to),
                              missing ? "missing" : errnoText(c.error ? c.error : EIO));
        r.stopStatus = missingFileStatus(r.object, false, in.statusColumns);
        return r;
    }
    receipt::addLaid(in.laid, receipt::Kind::File, *c.destination);
    if (placed) *placed = *c.destination;
    return done(step, *c.destination);
}

StepResult copyLocalWget(Installation& in) {
    const std::string localWget = currentFolder() + "/wget";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(localWget, ec)) return done("copy wget");  // none to copy
    return copyStep(in, "copy wget", localWget, in.ip + "/wget", nullptr);
}

StepResult downloadArchive(Installation& in) {
    const SharedState& s = S();
    const std::string& folder = in.plan.downloadFolder;
    // wget runs in folder and mirrors below it.
    if (auto cannot = unenterableFolder(in, "download", folder)) return *cannot;
    redrawThenStatus(in, "Downloading Files");
    const net::DownloadResult download =
        in.plan.download == Download::ArchiveRefresh
            ? net::refreshArchiveIn(folder, s.CURRENTWALLETARCHIVEPATH, s.STRINGVALUE)
            : net::downloadFolderIn(folder, net::secondServerRemotePath());
    if (download.refusal) {
        // wget did not run (the folder is locked by another download, a link could not be
        // removed, no private settings): the refusal says why.
        StepResult r = failed("download", folder, *download.refusal);
        r.stopStatus = *download.refusal;
        return r;
    }
    const int st = download.status;
    int shown = st;
    if (st == 0 && !isFolder(in.plan.sourceFolder)) shown = net::kDownloadNotRun;
    std::optional<std::string> cut;
    if (shown == 0 && (cut = net::cutShortFile(in.plan.downloadFolder))) {
        shown = net::kDownloadCutShort;
    }
    if (shown == 0) return done("download", in.plan.sourceFolder);
    // What a failed download left may be cut short: nothing of it is installed.
    StepResult r = failed("download", cut.value_or(in.plan.sourceFolder),
                          shown == st ? net::wgetFailureCause(st) : net::wgetProblem(shown));
    r.stopStatus = download.timedOut ? downloadTimedOutStatus(false)
                                     : downloadFailedStatus(shown, in.statusColumns);
    return r;
}

StepResult checkArchive(Installation& in) {
    in.check = net::checkWalletArchive(in.plan.sourceFolder, in.plan.tellersTarget.has_value());
    if (!in.check->refused()) {
        status(in, in.check->statusText());
        if (mayInstallOlderArchive(*in.check, in.plan.configFolder))
            return done("check the archive");
        StepResult r = failed("check the archive", in.plan.sourceFolder,
                              "signed before the installed archive");
        r.stopStatus = rollbackStatus(false);
        return r;
    }
    StepResult r = failed("check the archive", in.check->file, in.check->reason);
    r.stopStatus = in.check->statusText();
    return r;
}

StepResult copyIcon(Installation& in) {
    return copyStep(in, "copy icon", in.plan.sourceFolder + "/wallet.ico", in.plan.iconTarget,
                    &in.icon);
}

StepResult copyTellers(Installation& in) {
    if (!in.plan.tellersTarget) return done("copy tellers");
    return copyStep(in, "copy tellers", in.plan.sourceFolder + "/tellers", *in.plan.tellersTarget,
                    nullptr);
}

namespace {
launchers::Placement placementOf(const Installation& in);

// Whether anybody but root and this user could put another program at path: the program and
// every folder above it, or, for a program not there yet, the folders that will hold it.
bool othersCouldPlaceProgram(const std::string& program) {
    if (entryExists(program)) return pathOthersCanChange(program, geteuid());
    const host::FolderWalk walk =
        host::walkToFolder(program.substr(0, program.find_last_of('/')), geteuid());
    return !walk.folder.valid() || !walk.othersCanChange.empty();
}
}  // namespace

StepResult beforeArchiveGoesToRoot(Installation& in) {
    // Nothing of an archive that no good signature authenticated reaches root unasked.
    if (!in.check) return done("before root");
    const bool allUsers = placementOf(in).after == launchers::After::MoveToAllUsers;
    const bool asked =
        in.plan.installPackages
            ? mayHandPackagesToRoot(*in.check, in.plan.sourceFolder + "/Linux", walletPackages())
            : !allUsers || mayInstallForAllUsers(*in.check, in.program);
    if (asked) return done("before root");
    StepResult r = failed("before root", in.plan.sourceFolder,
                          "not authenticated (" + unauthenticatedReason(*in.check) + ")");
    r.stopStatus = notAuthenticatedStatus(*in.check, false);
    return r;
}

namespace {

// Acting for a user who may have no root rights of their own (the commands' --user): the file
// in their home could be swapped between the check and dpkg, so root installs a copy made in
// a folder only root can reach, whose SHA-256 matches the archive's sums. Returns the copy's
// path (and its folder, to remove), or the cause why there is none.
struct RootCopy {
    std::string path, folder, cause;
};
RootCopy rootCopyOf(const std::string& package, const std::string& listed,
                    const std::optional<net::ArchiveCheck>& check) {
    RootCopy c;
    c.cause = "no sum to check root's copy against";
    if (!check) return c;
    const auto digest = check->digests.find(listed);
    if (digest == check->digests.end()) return c;
    c.cause.clear();
    const host::ScopedIdentity root(true);
    // In /tmp, whatever TMPDIR says: a folder of root's own in a sticky folder nobody else
    // can rename it out of (a TMPDIR that the user can write would let the user swap it).
    c.folder = root.ok() ? makeTemporaryFolder("corvane-package-", "/tmp") : std::string();
    if (c.folder.empty()) {
        c.cause = "no private folder for root's copy";
        return c;
    }
    const std::optional<std::string> copy = copyAndVerify(package, c.folder);
    if (copy && net::sha256OfRegularFile(*copy) == digest->second) {
        c.path = *copy;
    } else {
        c.cause = copy ? "changed since it was checked" : "cannot be copied for root";
    }
    return c;
}

void removeRootCopy(const RootCopy& c) {
    if (c.folder.empty()) return;
    const host::ScopedIdentity root(true);
    if (!c.path.empty()) unlink(c.path.c_str());
    rmdir(c.folder.c_str());
}

}  // namespace

StepResult installArchivePackages(Installation& in) {
    std::vector<StepResult> items;
    const std::string linuxFolder = in.plan.sourceFolder + "/Linux";
    for (const std::string& deb : walletPackages()) {
        std::string package = linuxFolder;
        package += "/";
        package += deb;
        if (!entryExists(package)) continue;  // an archive without it: nothing to install
        if (in.check && !in.check->allows("Linux/" + deb)) {
            items.push_back(skipped("install package", package, "not in SHA256SUMS"));
            continue;
        }
        // Root installs it: refused when anybody but root or this user could have put
        // another file there.
        if (pathOthersCanChange(package, geteuid())) {
            items.push_back(failed("install package", package, "others can change it"));
            continue;
        }
        if (!host::actingFor()) {
            const int st = runElevated("dpkg -i -- " + shellQuote(package));
            if (st != 0)
                items.push_back(failed("install package", package, exitCause("dpkg -i", st)));
            continue;
        }
        const RootCopy copy = rootCopyOf(package, "Linux/" + deb, in.check);
        const int st = copy.path.empty() ? 0 : runElevated("dpkg -i -- " + shellQuote(copy.path));
        removeRootCopy(copy);
        if (!copy.cause.empty()) {
            items.push_back(failed("install package", package, copy.cause));
        } else if (st != 0) {
            items.push_back(failed("install package", package, exitCause("dpkg -i", st)));
        }
    }
    return itemised(in, "install the archive's packages", std::move(items));
}

StepResult copyProgram(Installation& in) {
    StepResult r = copyStep(in, "copy program", in.plan.sourceFolder + "/Linux/wallet",
                            in.plan.programTarget, &in.program);
    if (r.state == StepState::Skipped && in.program.empty())
        in.program = copyDestination(in.plan.sourceFolder + "/Linux/wallet", in.plan.programTarget);
    if (r.state == StepState::Failed) return r;
    if (in.plan.waitAfterProgramMs > 0) platform().sleepMs(in.plan.waitAfterProgramMs);
    thisRun().programPath = in.program;
    if (!in.icon.empty()) thisRun().iconPath = in.icon;
    return r;
}

StepResult makeProgramExecutable(Installation& in) {
    if (in.program.empty()) return skipped("make executable", in.plan.programTarget, "no program");
    if (!makeExecutable(in.program))
        return failed("make executable", in.program, errnoText(errno ? errno : EPERM));
    receipt::addLaid(in.laid, receipt::Kind::File, in.program);  // its mode changed, not its bytes
    return done("make executable", in.program);
}

std::string launcherContent(const launchers::Placement& p) {
    const SharedState& s = S();
    const auto& current = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    const auto& fallback = s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME;
    if (p.form == launchers::Form::A)
        return launchers::formAContent(launchers::terminalForFormA(current, fallback),
                                       s.APPLICATIONTEXTWALLETAPPLICATIONPATH, p.program, p.icon);
    return launchers::formBContent(launchers::terminalForFormB(current, fallback), p.program,
                                   p.icon);
}

StepResult writeLauncherFile(Installation& in, const std::string& file,
                             const std::string& content) {
    // Written executable at once, a link at its place replaced and never followed.
    const int err = replaceFile(file, content, WriteRule{FileMode::Private, 0755, true});
    if (err != 0) return failed("write launcher", file, errnoText(err));
    receipt::addLaid(in.laid, receipt::Kind::Launcher, file);
    return done("write launcher", file);
}

namespace {

// The folder a launcher goes into, made when missing (and laid in the receipt then).
std::string launcherFolder(Installation& in, const std::string& folder) {
    if (canEnterFolder(folder)) return "";
    for (const std::string& prefix : pathPrefixes(folder)) {
        if (canEnterFolder(prefix)) continue;
        if (const int err = makeFolder(prefix); err != 0) return errnoText(err);
        receipt::addFolder(in.laid, prefix);
    }
    return "";
}

// Desktops ask before they start a launcher the user did not make (see desktop_trust.h): a
// launcher that stays in the Desktop folder is marked trusted.
void markOnDesktop(Installation& in, const launchers::Placement& p) {
    const std::string file = p.folder + "/" + p.fileName;
    if (p.folder != launchers::desktopFolder(S().CURRENTUSERHOMEPATH) || !isRegularFile(file))
        return;
    const desktop_trust::TrustOutcome outcome = desktop_trust::markTrusted(file);
    if (outcome.desktopMayAsk()) in.notes.push_back(desktop_trust::mayAskNotice(outcome));
}

launchers::Placement placementOf(const Installation& in) {
    launchers::Placement p = in.placement ? *in.placement
                                          : launchers::automaticPlacement(in.plan.launcherVariant,
                                                                          S().CURRENTUSERHOMEPATH);
    p.program = in.program;
    p.icon = in.icon;
    return p;
}

}  // namespace

StepResult writeUserLaunchers(Installation& in) {
    SharedState& s = S();
    const launchers::Placement p = placementOf(in);
    redrawThenStatus(in, "Creating desktop shortcut");
    if (const std::string cause = launcherFolder(in, p.folder); !cause.empty())
        return failed("write launcher", p.folder, cause);
    const std::string file = p.folder + "/" + p.fileName;
    const std::string content = launcherContent(p);
    StepResult r = writeLauncherFile(in, file, content);
    if (r.state == StepState::Failed) return r;
    in.launcher = file;
    // The desktop launcher that option 7 records: any of an automatic installation, of the
    // manual options only option 4's.
    const bool desktopOfOption4 = p.fileName == launchers::kUserLauncherName &&
                                  p.after == launchers::After::Nothing &&
                                  p.folder == launchers::desktopFolder(s.CURRENTUSERHOMEPATH);
    if (!in.placement || desktopOfOption4) thisRun().desktopLauncherPath = file;
    platform().sleepMs(1000);  // lets a desktop that watches the folder pick the file up first
    if (p.after != launchers::After::MoveToAllUsers) markOnDesktop(in, p);
    if (p.after != launchers::After::CopyToUserMenu || !canElevate()) return r;
    const std::string menu = launchers::userMenuFolder(s.CURRENTUSERHOMEPATH);
    if (const std::string cause = launcherFolder(in, menu); !cause.empty())
        return failed("write launcher", menu, cause);
    return writeLauncherFile(in, menu + "/" + p.fileName, content);
}

StepResult installAllUsersLauncher(Installation& in) {
    const launchers::Placement p = placementOf(in);
    if (p.after != launchers::After::MoveToAllUsers) return done("all-users launcher");
    const std::string target =
        std::string(launchers::kAllUsersMenuFolder) + "/" + launchers::kAllUsersLauncherName;
    if (!canElevate()) {
        markOnDesktop(in, p);  // the launcher stays on the desktop
        return skipped("all-users launcher", target, "no sudo password");
    }
    // The launcher makes every user run the program at its path: refused when anybody but root
    // or this user could put another program there.
    if (othersCouldPlaceProgram(in.program)) {
        markOnDesktop(in, p);  // the launcher stays on the desktop
        return failed("all-users launcher", in.program, "others can change it");
    }
    // Root copies it from a private folder that only this user can change, so nothing another
    // user swaps in is read or written with root's rights.
    const std::string folder = makeTemporaryFolder("corvane-launcher-");
    if (folder.empty()) return failed("all-users launcher", target, errnoText(errno));
    const std::string copy = folder + "/launcher.desktop";
    const std::string content = launcherContent(p);
    int st = replaceFile(copy, content, WriteRule{FileMode::Private, 0644, true});
    StepResult r = st != 0 ? failed("all-users launcher", copy, errnoText(st))
                           : done("all-users launcher", target);
    if (st == 0) st = runElevated(launchers::allUsersInstallCommand(copy, target));
    if (r.state == StepState::Done && st != 0)
        r = failed("all-users launcher", target, exitCause("sudo install", st));
    unlink(copy.c_str());
    rmdir(folder.c_str());
    if (r.state == StepState::Failed) {
        markOnDesktop(in, p);  // the launcher stays on the desktop
        return r;
    }
    // The launcher moves to the menu: the desktop one goes once the copy is in place.
    const std::string desktopFile = p.folder + "/" + p.fileName;
    unlink(desktopFile.c_str());
    in.laid.entries.erase(
        std::remove_if(in.laid.entries.begin(), in.laid.entries.end(),
                       [&](const receipt::Entry& e) { return e.path == desktopFile; }),
        in.laid.entries.end());
    receipt::merge(
        in.laid,
        receipt::Receipt{{{receipt::Kind::AllUsersLauncher, target, net::sha256Hex(content)}},
                         std::nullopt});
    return r;
}

namespace {

void writeRecords(const Installation& in) {
    const SharedState& s = S();
    const std::string cfg = "wallet.cfg";
    std::vector<std::pair<std::string, std::string>> records = {
        {"applicationTextWalletInstallationPath", in.ip},
        {"applicationTextWalletInstallationDate", s.APPLICATIONTEXTWALLETINSTALLATIONDATE},
    };
    // Variant A records its application folder too, with the object-marker writer; the others
    // append their two records with the custom-file writer, given the file's full path.
    if (in.plan.applicationPathRecord) {
        records.emplace_back("applicationTextWalletApplicationPath",
                             s.APPLICATIONTEXTWALLETAPPLICATIONPATH);
    }
    for (const auto& [marker, value] : records) {
        if (in.plan.applicationPathRecord) {
            writeMarkedValue(in.plan.configFolder, cfg, marker, value);
        } else {
            writeCustomRecord(joinPath(in.plan.configFolder, cfg), marker, value);
        }
    }
}

}  // namespace

StepResult recordInstallation(Installation& in) {
    SharedState& s = S();
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "CREATED " + thisRun().desktopLauncherPath;
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = stardateOf(platform().now());
    const std::string& folder = in.plan.configFolder;
    if (auto cannot = unenterableFolder(in, "record wallet.cfg", folder)) return *cannot;
    redrawThenStatus(in, "Updating configuration file");
    const std::string cfg = folder + "/wallet.cfg";
    writeRecords(in);
    if (!receipt::addLaid(in.laid, receipt::Kind::File, cfg))
        return failed("record wallet.cfg", cfg, "not written");
    return done("record wallet.cfg", cfg);
}

StepResult provisionPackages(Installation& in) {
    if (!in.plan.provisionPackages) return done("system packages");
    if (!in.systemPackages) return skipped("system packages", "", "left out, as you chose");
    console::clearScreen();
    const provision::ProvisionReport report = provision::provisionSystemPackages();
    console::clearScreen();
    std::vector<StepResult> items;
    for (const provision::CommandFailure& f : report.failedCommands)
        items.push_back(failed("system packages", f.command, exitCause("command", f.exitStatus)));
    for (const provision::PackageResult& p : report.packages) {
        using provision::PackageState;
        if (p.state == PackageState::Failed)
            items.push_back(failed("system package", p.name, exitCause("apt-get", p.exitStatus)));
        else if (p.state == PackageState::NotAvailable)
            items.push_back(skipped("system package", p.name, "not available on this system"));
        else if (p.state == PackageState::NeedsI386)
            items.push_back(skipped("system package", p.name, "needs the i386 architecture"));
        else if (p.state == PackageState::AlreadyInstalled)
            ++in.alreadyInstalled;
    }
    return itemised(in, "system packages", std::move(items));
}

StepResult saveReceipt(Installation& in) {
    const std::string folder = in.plan.configFolder;
    if (in.laid.entries.empty()) return done("receipt");
    if (in.check) recordSignature(in.laid, *in.check);
    const int err = receipt::save(folder, in.laid);
    if (err != 0) return failed("receipt", folder + "/" + receipt::kFileName, errnoText(err));
    return done("receipt", folder + "/" + receipt::kFileName);
}

std::vector<Step> stepsOf(Variant v, bool forAllUsers) {
    const Step folders{"make folders", true, makeFolders};
    const Step wget{"copy wget", false, copyLocalWget};
    const Step download{"download", true, downloadArchive};
    const Step check{"check the archive", true, checkArchive};
    const Step icon{"copy icon", false, copyIcon};
    const Step tellers{"copy tellers", false, copyTellers};
    const Step beforeRoot{"before root", true, beforeArchiveGoesToRoot};
    const Step packages{"install the archive's packages", false, installArchivePackages};
    const Step program{"copy program", true, copyProgram};
    const Step executable{"make executable", false, makeProgramExecutable};
    const Step launchers{"write launchers", false, writeUserLaunchers};
    const Step allUsers{"all-users launcher", false, installAllUsersLauncher};
    const Step record{"record wallet.cfg", false, recordInstallation};
    const Step provision{"system packages", false, provisionPackages};
    const Step laid{"receipt", false, saveReceipt};
    switch (v) {
        case Variant::A:
            if (forAllUsers) {
                // The launcher for all users is written as variant D writes it, once the user's
                // own launchers stand.
                const Step allUsersLaunchers{"all-users launcher", false, [](Installation& in) {
                                                 in.placement = launchers::automaticPlacement(
                                                     'D', S().CURRENTUSERHOMEPATH);
                                                 StepResult r = writeUserLaunchers(in);
                                                 if (r.state != StepState::Failed)
                                                     r = installAllUsersLauncher(in);
                                                 in.placement.reset();
                                                 return r;
                                             }};
                return {folders,           wget,     download,  check,      icon,
                        beforeRoot,        packages, program,   executable, launchers,
                        allUsersLaunchers, record,   provision, laid};
            }
            return {folders, wget,       download,  check,  icon,      beforeRoot, packages,
                    program, executable, launchers, record, provision, laid};
        case Variant::D:
            return {folders,    wget,      download,   check,    icon,   tellers, program,
                    executable, launchers, beforeRoot, allUsers, record, laid};
        default:
            return {folders, wget,       download,  check,  icon, tellers,
                    program, executable, launchers, record, laid};
    }
}

bool runSteps(Installation& in, const std::vector<Step>& steps, const StepObserver& observer) {
    for (const Step& step : steps) {
        const std::size_t firstItem = in.results.size();
        StepResult r = step.run(in);
        if (observer) observer(step, r, in, firstItem);
        const bool stop = step.needed && r.state == StepState::Failed;
        // An itemised result was kept object by object already.
        if (r.state != StepState::Done && !r.itemised) {
            r.stops = stop;
            in.results.push_back(std::move(r));
        }
        if (stop) {
            // What was laid before the stop stays listed for the removal.
            saveReceipt(in);
            return false;
        }
    }
    return true;
}

std::string resultText(const StepResult& r) {
    const char* what = r.state == StepState::Failed    ? "Failed"
                       : r.state == StepState::Skipped ? "Skipped"
                                                       : "Done";
    std::string text = std::string(what) + ", " + r.step;
    if (!r.object.empty()) text += ": " + r.object;
    if (!r.cause.empty()) text += " (" + r.cause + ")";
    return text;
}

}  // namespace install

namespace install {

std::string resultStatus(const StepResult& r, std::size_t columns) {
    if (!r.stopStatus.empty()) return r.stopStatus;
    const char* what = r.state == StepState::Failed ? "Failed, " : "Skipped, ";
    const std::string head = what + r.step + (r.object.empty() ? "" : ": ");
    const std::string tail = r.cause.empty() ? "" : " (" + r.cause + ")";
    if (head.size() + tail.size() >= columns) return (head + r.object + tail).substr(0, columns);
    return fitWithPath(head, r.object, columns - tail.size()) + tail;
}

}  // namespace install
