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
#include "core/path.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/whole_file.h"
#include "install/launchers.h"
#include "net/archive_check.h"
#include "net/downloads.h"
#include "privilege/privilege.h"
#include "provision/provisioning.h"
#include "stardate/stardate.h"

namespace fs = std::filesystem;

namespace install {

namespace {

using console::kStatusLabel;

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
        p.folders = {{ap + "/control/applications/wallet/tellerData",
                      "Creating Teller FilePath Directory", true},
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
    p.folders = {{tellers, dirStatus, true}, {ip, dirStatus}, {archive, dirStatus}};
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
    const std::string whole = withoutTrailingSlash(from);
    const std::size_t slash = whole.rfind('/');
    return joinPath(to, slash == std::string::npos ? whole : whole.substr(slash + 1));
}

namespace {

// Copies one regular file to a destination that is not a link; 0 when all was written, else
// the errno of the failure.
int copyFileOnce(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat st {};
    int err = fstat(in, &st) == 0 ? (S_ISREG(st.st_mode) ? 0 : EINVAL) : errno;
    const mode_t mode = err == 0 ? (st.st_mode & 0755) : 0644;
    int out = -1;
    if (err == 0) {
        out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
        if (out < 0) err = errno;
    }
    char buf[65536];
    while (err == 0) {
        ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n == 0 ? 0 : errno;
            break;
        }
        err = writeAll(out, std::string_view(buf, static_cast<std::size_t>(n)));
    }
    if (out >= 0) {
        fchmod(out, mode);  // an older file keeps no write bits for others
        if (close(out) != 0 && err == 0) err = errno;
    }
    close(in);
    return err;
}

// A regular file (not a link) of that size stands at path.
bool arrived(const std::string& path, off_t size) {
    const auto st = host::statPath(path, host::Links::Refuse);
    return st && S_ISREG(st->st_mode) && st->st_size == size;
}

// The source and the destination are one file (a link or the same path): opening the
// destination for writing would empty the source.
bool sameFile(const std::string& from, const std::string& destination) {
    const auto a = host::statPath(from);
    const auto b = host::statPath(destination);
    return a && b && a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

}  // namespace

CopyOutcome copyVerified(const std::string& from, const std::string& to) {
    CopyOutcome outcome;
    for (int attempt = 1; attempt <= kCopyAttempts; ++attempt) {
        // Asked anew each time: the source or the target folder may appear meanwhile.
        const std::string destination = copyDestination(from, to);
        const auto src = host::statPath(from);
        if (src && S_ISREG(src->st_mode)) {
            if (sameFile(from, destination)) {
                outcome.sameFile = true;
                return outcome;
            }
            outcome.error = copyFileOnce(from, destination);
            if (arrived(destination, src->st_size)) {
                outcome.destination = destination;
                outcome.error = 0;
                return outcome;
            }
        }
        if (attempt < kCopyAttempts) platform().sleepMs(kCopyRetryMs);
    }
    return outcome;
}

std::optional<std::string> copyAndVerify(const std::string& from, const std::string& to) {
    return copyVerified(from, to).destination;
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
    // A third of the room for the path's start (which folder), the rest for its end (which
    // file): both stay readable.
    const std::size_t keep = columns - text.size() - kCut.size();
    const std::size_t head = keep / 3;
    return text + path.substr(0, head) + std::string(kCut) +
           path.substr(path.size() - (keep - head));
}

std::string missingFileStatus(const std::string& path, bool labelled, std::size_t columns) {
    return fitWithPath(
        std::string(labelled ? kStatusLabel : "") + "Installation Stopped, Missing File ", path,
        columns);
}

std::string unsafePackageStatus(const std::string& path, bool labelled, std::size_t columns) {
    return fitWithPath(
        std::string(labelled ? kStatusLabel : "") + "Installation Stopped, Others Can Change ",
        path, columns);
}

std::string cannotEnterStatus(const std::string& folder, bool labelled, std::size_t columns) {
    return fitWithPath(
        std::string(labelled ? kStatusLabel : "") + "Installation Stopped, Cannot Enter ", folder,
        columns);
}

std::string downloadTimedOutStatus(bool labelled) {
    return std::string(labelled ? kStatusLabel : "") +
           "Installation Stopped, Download Timed Out After " +
           std::to_string(net::wgetTotalSeconds()) + " Seconds";
}

std::string downloadFailedStatus(int wgetStatus, std::size_t columns) {
    return ("Installation Stopped, Download Failed: " + net::wgetProblem(wgetStatus))
        .substr(0, columns);
}

std::string problemsStatus(bool labelled, std::size_t failures) {
    return std::string(labelled ? kStatusLabel : "") + "Installation Finished With Problems, " +
           std::to_string(failures) + " Failed";
}

RunRecord& thisRun() { return runMemory().installed; }

}  // namespace install
