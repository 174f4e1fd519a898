// The archive refresh, the timestamping mirror and the folder download: wget command lines
// run through the shell; wget's own output is the user's progress report.
#include "net/downloads.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "console/console.h"
#include "core/build_config.h"
#include "core/path.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/regular_file.h"
#include "host/shell.h"
#include "host/whole_file.h"
#include "net/download_guard.h"

namespace net {

namespace {

constexpr const char* kArchiveServerPassword = "ferric3basin8";
constexpr const char* kSecondServerAccount = "ledger2";
constexpr const char* kSecondServerPassword = "harbor9#";

// Sets an environment variable for one scope and puts the old value (or its absence) back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

int wgetTotalSeconds() {
    const char* text = std::getenv("CORVANE_WGET_TIME_LIMIT_SECONDS");
    if (text == nullptr || *text == '\0') return kWgetTotalSeconds;
    char* end = nullptr;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || seconds <= 0 || seconds > kWgetTotalSeconds) return kWgetTotalSeconds;
    return static_cast<int>(seconds);
}

std::string ftpAddress(std::string_view host, std::string_view folder) {
    std::string a = "ftp://";
    a.append(host);
    a += "/";
    a.append(folder);
    return a;
}

std::string remotePathArgument(std::string_view account, std::string_view password,
                               std::string_view address) {
    std::string r = " --user=";
    r.append(account);
    r += " --password=";
    r.append(password);
    r += " ";
    r.append(address);
    return r;
}

std::string archiveServerRemotePath() {
    return remotePathArgument(build_config::kArchiveServerAccount, kArchiveServerPassword,
                              ftpAddress(build_config::kArchiveServerHost, kArchiveRemoteFolder));
}

std::string secondServerRemotePath() {
    return remotePathArgument(
        kSecondServerAccount, kSecondServerPassword,
        ftpAddress(build_config::kSecondServerHost, kSecondServerRemoteFolder));
}

std::string timestampingMirrorCommand(std::string_view rejectList, std::string_view remotePath) {
    std::string c = "wget -N -r -R \"";
    c.append(rejectList);
    c += "\" -e robots=off -nH --level=0 --no-parent --reject=index.html* ";
    c.append(remotePath);
    return c;
}

std::string folderDownloadCommand(std::string_view remotePath) {
    std::string c =
        "wget -r -e robots=off -nH --progress=bar:force  --level=0 --no-parent "
        "--reject=index.html* ";
    c.append(remotePath);
    c += " > /dev/null";
    return c;
}

std::string boundedWgetrcContent(std::string_view userWgetrc) {
    std::string c(userWgetrc);
    if (!c.empty() && c.back() != '\n') c += '\n';
    c += "timeout = " + std::to_string(kWgetTimeoutSeconds) + "\n";
    c += "tries = " + std::to_string(kWgetTries) + "\n";
    // The server's listings stay, so that what arrived can be held against what it listed.
    c += "remove_listing = off\n";
    c += "retr_symlinks = on\n";
    return c;
}

std::string userWgetrcPath() {
    if (const char* rc = std::getenv("WGETRC"); rc && *rc) return rc;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wgetrc";
}

namespace {

// "Installation Stopped, " + why, within the narrowest status room of the flows (58 columns):
// a long path keeps its end.
std::string refusalStatus(const std::string& why) {
    constexpr std::size_t kRoom = 58;
    std::string text = "Installation Stopped, " + why;
    if (text.size() > kRoom)
        text = text.substr(0, 22) + "..." + text.substr(text.size() - (kRoom - 25));
    return text;
}

DownloadResult runWithin(const std::string& folder, const std::string& commandLine, int seconds) {
    console::invalidateCursor();  // wget writes to the terminal
    CommandOptions options;
    options.timeLimitSeconds = seconds;
    options.workingFolder = folder;
    const int status = runShellCommand(commandLine, options);
    // timeout's own statuses: 124 after SIGTERM, 128 + 9 when wget had to be killed. wget's
    // own statuses stay below 9.
    return DownloadResult{status, status == 124 || status == 128 + 9, std::nullopt};
}

}  // namespace

std::optional<ListedFile> parseListingLine(std::string_view line) {
    if (line.empty() || line.front() != '-') return std::nullopt;  // regular files only
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 8) {
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    while (i < line.size() && line[i] == ' ') ++i;
    std::string_view name = line.substr(i);
    while (!name.empty() && (name.back() == '\r' || name.back() == '\n')) name.remove_suffix(1);
    if (fields.size() < 8 || name.empty()) return std::nullopt;
    std::uintmax_t size = 0;
    const std::string_view digits = fields[4];
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return ListedFile{std::string(name), size};
}

std::optional<std::string> cutShortFile(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::optional<std::string> shortFile;
    std::vector<fs::path> listings;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().filename() == ".listing" && it->is_regular_file(ec))
            listings.push_back(it->path());
    }
    for (const fs::path& listing : listings) {
        const auto text = host::readRegularFile(listing.string(), host::Links::Refuse);
        forEachLine(text.value_or(""), [&](std::string_view line) {
            const auto listed = parseListingLine(line);
            if (!listed || shortFile) return;
            const fs::path file = listing.parent_path() / listed->name;
            std::error_code sizeError;
            const auto size = fs::file_size(file, sizeError);
            // A file that is there but shorter (or longer) than the server said was cut.
            if (!sizeError && size != listed->size) shortFile = file.string();
        });
        fs::remove(listing, ec);
    }
    return shortFile;
}

std::string wgetProblem(int status) {
    switch (status) {
        case 0:
            return "";
        case 1:
            return "wget failed";
        case 2:
            return "bad options";
        case 3:
            return "cannot write files";
        case 4:
            return "network unreachable";
        case 5:
            return "TLS failure";
        case 6:
            return "login refused";
        case 7:
            return "protocol error";
        case 8:
            return "server error";
        case 124:
        case 128 + 9:
            return "time bound reached";
        case 127:
            return "wget not found";
        case kDownloadNotRun:
            return "nothing downloaded";
        case kDownloadCutShort:
            return "transfer cut short";
        default:
            return "wget exit status " + std::to_string(status);
    }
}

std::string wgetFailureCause(int status) {
    const std::string statusText = "wget exit status " + std::to_string(status);
    const std::string problem = wgetProblem(status);
    return problem == statusText ? problem : problem + " (" + statusText + ")";
}

DownloadResult runBoundedWget(const std::string& folder, const std::string& commandLine) {
    auto refuse = [](const std::string& why) {
        return DownloadResult{kDownloadRefused, false, refusalStatus(why)};
    };
    if (folder.empty()) return refuse("Cannot Tell The Download Folder");
    DownloadLock lock;
    if (auto busy = lock.take(folder)) return refuse(*busy);
    const LinkSweep links = removeLinksBelow(folder, downloadTopOf(commandLine));
    if (!links.problem.empty()) return refuse("Link Not Removed " + links.problem);
    const int seconds = wgetTotalSeconds();
    std::string tmpl = joinPath(temporaryFolder(), "corvane-wgetrc-XXXXXX");
    int fd = mkstemp(tmpl.data());
    // Without it the user's own settings would decide how links are handled.
    if (fd < 0) return refuse("No Private wget Settings");
    ::close(fd);
    // The user's own wgetrc may well be a link (kept with the user's other settings).
    const std::string content = boundedWgetrcContent(
        host::readRegularFile(userWgetrcPath(), host::Links::Follow).value_or(""));
    if (replaceFile(tmpl, content, WriteRule{FileMode::Private}) != 0) {
        std::remove(tmpl.c_str());
        return refuse("No Private wget Settings");
    }
    DownloadResult result;
    {
        ScopedEnv env("WGETRC", tmpl);
        lock.shareWithChildren(true);
        result = runWithin(folder, commandLine, seconds);
        lock.shareWithChildren(false);
    }
    std::remove(tmpl.c_str());
    return result;
}

DownloadResult refreshArchiveIn(const std::string& folder, const std::string& archiveFolder,
                                std::string_view rejectList) {
    console::printLine("ARCHIVE FILES CHECK..................... CHECKING");
    platform().sleepMs(5000);
    if (!canEnterFolder(archiveFolder)) return DownloadResult{kDownloadNotRun, false, std::nullopt};
    console::printLine("ARCHIVE FILES CHECK..................... DOWNLOADING");
    platform().sleepMs(2000);
    DownloadResult result =
        runBoundedWget(folder, timestampingMirrorCommand(rejectList, archiveServerRemotePath()));
    console::invalidateCursor();
    return result;
}

DownloadResult downloadFolderIn(const std::string& folder, std::string_view remotePath) {
    DownloadResult result = runBoundedWget(folder, folderDownloadCommand(remotePath));
    console::invalidateCursor();
    return result;
}

}  // namespace net

// The routines mirror below the current folder.

void DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER() {
    SharedState& s = S();
    s.PATHNAME = s.CURRENTWALLETARCHIVEPATH;
    const net::DownloadResult r = net::refreshArchiveIn(currentFolder(), s.PATHNAME, s.STRINGVALUE);
    s.PATHFOUND = r.status == net::kDownloadNotRun ? 0 : 1;
    if (s.PATHFOUND == 1) s.REMOTEPATH = net::archiveServerRemotePath();
}

void DOWNLOADTHEFOLDERFROMFTPWITHTIMESTAMPINGANDVERBOSITY() {
    net::runBoundedWget(currentFolder(),
                        net::timestampingMirrorCommand(S().STRINGVALUE, S().REMOTEPATH));
    console::invalidateCursor();
}

void DOWNLOADTHEFOLDERWITHCONSOLEOUTPUT() {
    net::downloadFolderIn(currentFolder(), S().REMOTEPATH);
}
