// The wallet scan: lists every recorded partition, offers the wallets found, and makes the
// pick the installation path that the selected-wallet menu reinstalls.
#include "storage/wallet_scan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <utility>

#include "console/console.h"
#include "core/path.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/fatal.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/regular_file.h"
#include "host/shell.h"
#include "storage/storage_survey.h"

namespace storage {

namespace {

constexpr std::string_view kWalletEnding = "/wallet";

// The path the listing names for folder: folder as the system resolves it (without the
// trailing "/"), when it can be entered and resolves to itself; a mount folder reached through
// a link is not listed. One look: a folder that cannot be entered is skipped, never waited for.
std::optional<std::string> listedFolderOf(const std::string& folder) {
    if (!canEnterFolder(folder)) return std::nullopt;
    std::error_code ec;
    std::string resolved = std::filesystem::canonical(folder, ec).string();
    if (ec || !isSameFolder(resolved, folder)) return std::nullopt;
    return resolved;
}

// The recursive listing's pause after find (the scan waits as the listing always did).
constexpr int64_t kListingPauseMs = 2000;

// "   FOLDER (DEVICE)" + tail, within one screen row: a long folder keeps its end.
std::string partitionLine(std::string_view folder, std::string_view device,
                          const std::string& tail) {
    const std::string where = device.empty() ? std::string() : " (" + std::string(device) + ")";
    const std::size_t room = kScreenColumns - 1;
    const std::size_t fixed = 3 + where.size() + tail.size();
    std::string shown(folder);
    if (fixed + shown.size() > room) {
        const std::size_t keep = room > fixed + 3 ? room - fixed - 3 : 0;
        shown = "..." + std::string(folder.substr(folder.size() - std::min(keep, folder.size())));
    }
    std::string line = "   " + shown + where + tail;
    if (line.size() > room) line.resize(room);
    return line;
}

}  // namespace

std::string mountFolderOf(std::string_view mountPath) {
    const std::string folder = withoutTrailingSlash(mountPath);
    return folder == "/" ? folder : folder + "/";
}

bool isSameFolder(std::string_view workingFolder, std::string_view folder) {
    return !workingFolder.empty() &&
           withoutTrailingSlash(workingFolder) == withoutTrailingSlash(folder);
}

bool isWalletEntry(std::string_view entry) {
    return entry.size() >= kWalletEnding.size() &&
           entry.substr(entry.size() - kWalletEnding.size()) == kWalletEnding;
}

std::string walletFolderOf(std::string_view pickedPath) {
    return std::string(pickedPath.substr(0, pickedPath.size() >= kWalletEnding.size()
                                                ? pickedPath.size() - kWalletEnding.size()
                                                : 0));
}

bool holdsControlCharacter(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || c == 0x7f) return true;
        if (c == 0xc2 && i + 1 < path.size() && static_cast<unsigned char>(path[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(path[i + 1]) <= 0x9f)
            return true;
    }
    return false;
}

bool isKernelFolder(std::string_view folder) {
    for (std::string_view kernel : {std::string_view("/proc"), std::string_view("/sys")}) {
        if (folder.substr(0, kernel.size()) == kernel &&
            (folder.size() == kernel.size() || folder[kernel.size()] == '/'))
            return true;
    }
    return false;
}

std::string listingCommand(std::string_view folder) {
    return "find -- " + shellQuote(folder) + " -xdev -print0";
}

std::vector<std::string> walletEntriesOf(std::string_view listing) {
    std::vector<std::string> found;
    forEachLine(
        listing,
        [&](std::string_view entry) {
            if (isWalletEntry(entry)) found.emplace_back(entry);
        },
        '\0');  // find -print0 ends each entry with a zero byte
    return found;
}

std::vector<std::string> selectionScreenLines(const std::vector<std::string>& paths) {
    const std::string count = std::to_string(paths.size());
    const bool one = paths.size() == 1;
    std::vector<std::string> lines{one ? " FOUND 1 WALLET" : " FOUND " + count + " WALLETS", " "};
    for (std::size_t i = 0; i < paths.size(); ++i)
        lines.push_back("   #=" + std::to_string(i + 1) + "  PATH=" + paths[i]);
    lines.insert(lines.end(), {" ",
                               one ? " > PRESS 1 TO SELECT THE WALLET"
                                   : " > PRESS 1-" + count + " TO SELECT A WALLET",
                               " ", " > PRESS 0 TO EXIT"});
    return lines;
}

SelectionChoice selectionChoiceFor(std::string_view key, const std::vector<std::string>& paths) {
    if (key == "0") return {SelectionChoice::Leave, 0};
    if (key.size() == 1 && key[0] >= '1' && key[0] <= '9') {
        const auto value = static_cast<std::size_t>(key[0] - '0');
        if (value <= paths.size() && !holdsControlCharacter(paths[value - 1]))
            return {SelectionChoice::Pick, value};
    }
    return {SelectionChoice::Redraw, 0};
}

std::string selectedWalletStatus(std::string_view installationPath) {
    return "SELECTED WALLET AT " + std::string(installationPath);
}

ListingCounter::ListingCounter(std::string path, char separator)
    : path_(std::move(path)), separator_(separator) {}

ListingCounter::~ListingCounter() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t ListingCounter::look() {
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return count_;
    }
    char buf[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const char* p = buf;
        const char* end = buf + n;
        while ((p = static_cast<const char*>(std::memchr(p, separator_, end - p))) != nullptr) {
            ++count_;
            ++p;
        }
    }
    return count_;
}

std::string partitionListingLine(std::string_view mountFolder, std::string_view device,
                                 std::size_t entries) {
    return partitionLine(mountFolder, device,
                         " LISTING... " + std::to_string(entries) + " ENTRIES");
}

std::string partitionDoneLine(std::string_view mountFolder, std::string_view device,
                              std::size_t entries, std::size_t wallets) {
    return partitionLine(mountFolder, device,
                         " " + std::to_string(entries) + " ENTRIES, " + std::to_string(wallets) +
                             (wallets == 1 ? " WALLET" : " WALLETS"));
}

void WalletListing::take(std::string_view entry) {
    if (isWalletEntry(entry)) wallets_.emplace_back(entry);
}

void WalletListing::feed(std::string_view piece) {
    while (!piece.empty()) {
        const auto end = piece.find('\0');
        if (end == std::string_view::npos) {
            partial_.append(piece);
            return;
        }
        ++entries_;
        if (partial_.empty()) {
            take(piece.substr(0, end));
        } else {
            partial_.append(piece.substr(0, end));
            take(partial_);
            partial_.clear();
        }
        piece.remove_prefix(end + 1);
    }
}

void WalletListing::finish() {
    if (!partial_.empty()) take(partial_);
    std::string().swap(partial_);
}

std::vector<std::string> walletsBelow(const std::string& folder, std::size_t* entryCount) {
    if (entryCount) *entryCount = 0;
    const std::optional<std::string> listed = listedFolderOf(folder);
    if (!listed) return {};
    auto& s = S();
    const std::string& programFolder = s.THISPROGRAMEXECUTABLEFILEPATH;
    constexpr const char* kScratch = "tempout.txt";
    const std::string scratch = programFolder + "/" + kScratch;
    // Run in the program folder, as every capture is: find's complaints about folders it
    // may not read would scroll over the progress screen, so they go to a file there.
    if (const int err = folderEntryError(programFolder); err != 0)
        fatalFileError(scratch, std::strerror(err));
    // An old scratch file must never be read as this listing.
    if (::unlink(scratch.c_str()) != 0 && errno != ENOENT)
        fatalFileError(scratch, std::strerror(errno));
    s.COMMANDLINEINPUT = listingCommand(*listed) + " 2> " + kListingErrorFile;
    std::string().swap(s.COMMANDLINEOUTPUT);
    runCommandIn(programFolder, s.COMMANDLINEINPUT + " > " + kScratch, /*cLocale=*/true);
    platform().sleepMs(kListingPauseMs);  // the recursive listing's pause
    // The names are split at zero bytes as the pieces come in: only the wallets found (and
    // one name at a time) are held, however much the partition holds.
    WalletListing listing;
    if (host::readRegularFile(scratch, [&](std::string_view piece) { listing.feed(piece); }) ||
        entryExists(scratch))
        ::unlink(scratch.c_str());
    listing.finish();
    if (entryCount) *entryCount = listing.entries();
    return listing.wallets();
}

void ScanProgress::begin(const std::string& folder, const std::string& device) {
    folder_ = folder;
    device_ = device;
    lines_.push_back(partitionListingLine(folder_, device_, 0));
    shown_ = 0;
    draw();
}

int ScanProgress::tick(ListingCounter& counter) {
    const std::size_t n = counter.look();
    if (n != shown_) {
        shown_ = n;
        lines_.back() = partitionListingLine(folder_, device_, n);
        console::drawAside(rowOf(lines_.size() - 1), 1, console::paddedStatusLine(lines_.back()));
    }
    return std::min(kTickMs, console::spinWhileCommandRuns());
}

void ScanProgress::end(std::size_t entries, std::size_t wallets) {
    lines_.back() = partitionDoneLine(folder_, device_, entries, wallets);
    draw();
}

std::size_t ScanProgress::firstShown() const {
    return lines_.size() > kRows ? lines_.size() - kRows : 0;
}

int ScanProgress::rowOf(std::size_t index) const {
    return static_cast<int>(kFirstRow + index - firstShown());
}

void ScanProgress::draw() {
    std::vector<std::string> page{kScanProgressTitle, " "};
    page.insert(page.end(), lines_.begin() + static_cast<std::ptrdiff_t>(firstShown()),
                lines_.end());
    console::drawPage(page);
}

ScanOutcome& lastScan() { return runMemory().scan; }

}  // namespace storage

namespace {

using FileId = std::pair<dev_t, ino_t>;

// A wallet reached along two paths (the same partition recorded twice, a folder mounted again
// elsewhere) is offered once, under the first path.
void rememberFound(const std::vector<std::string>& found, std::set<FileId>& seen) {
    auto& s = S();
    for (const auto& path : found) {
        const auto st = host::statPath(path, host::Links::Refuse);
        if (st && !seen.insert({st->st_dev, st->st_ino}).second) continue;
        s.LOCATIONDYNAMICARRAY.append(path);
    }
    s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY = s.LOCATIONDYNAMICARRAY.upperBound();
}

// Lists each mount folder by its path: the installer's current folder stays, so later flows
// that look for files in it (a local wget) never look in whichever mount folder came last.
void scanRecordedPartitions() {
    auto& s = S();
    s.LOCATIONDYNAMICARRAY.clear();
    s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY = 0;
    const auto partitions = std::min<std::size_t>(
        s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, kPartitionSlots);
    std::set<std::string> listed;
    std::set<FileId> seen;
    storage::ScanProgress progress;
    for (std::size_t i = 1; i <= partitions; ++i) {
        const std::string& mountPath = s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[i];
        if (mountPath.empty()) continue;
        const std::string folder = storage::mountFolderOf(mountPath);
        if (storage::isKernelFolder(folder) || !listed.insert(folder).second) continue;
        progress.begin(folder, s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONSYSTEMPATH[i]);
        storage::ListingCounter counter(s.THISPROGRAMEXECUTABLEFILEPATH + "/tempout.txt", '\0');
        std::size_t entries = 0;
        std::vector<std::string> found;
        {
            ScopedCommandTicker ticker([&] { return progress.tick(counter); });
            found = storage::walletsBelow(folder, &entries);
        }
        progress.end(entries, found.size());
        rememberFound(found, seen);
    }
}

std::vector<std::string> foundPaths() {
    const auto& s = S();
    std::vector<std::string> paths;
    for (std::size_t i = 1; i <= s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY; ++i)
        paths.push_back(s.LOCATIONDYNAMICARRAY[i]);
    return paths;
}

// The selection screen and its key wait; the key stays local so that the top menu's dispatch
// never sees it. A single wallet is shown and confirmed like several: a name on the disk never
// becomes the installation path without the user's key.
void selectAmong(const std::vector<std::string>& paths) {
    auto& s = S();
    while (true) {
        console::drawPage(storage::selectionScreenLines(paths));
        s.APPLICATIONTEXTWALLETCURRENTSTATUS =
            paths.size() == 1 ? "FOUND 1 WALLET AT " + paths.front()
                              : "FOUND " + std::to_string(paths.size()) + " WALLETS";
        const auto choice = storage::selectionChoiceFor(console::waitMenuKey(), paths);
        if (choice.kind == storage::SelectionChoice::Pick)
            s.APPLICATIONTEXTWALLETCURRENTFILEPATH = paths[choice.index - 1];
        if (choice.kind != storage::SelectionChoice::Redraw) return;
    }
}

}  // namespace

std::vector<std::string> storage::surveyAndFindWallets() {
    auto& s = S();
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    s.LOCATIONDYNAMICARRAY.clear();
    s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY = 0;
    if (s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED >= 1)
        scanRecordedPartitions();
    return foundPaths();
}

void runWalletScan() {
    auto& s = S();
    ENUMERATESTORAGEHARDWAREDIRECTACCESSSCSIDRIVESANDPARTITIONSWITHSPINNERFEEDBACK();
    console::clearScreen();
    // Without a recorded partition the previous scan's wallets are offered again.
    if (s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED >= 1)
        scanRecordedPartitions();
    console::clearScreen();
    const std::vector<std::string> paths = foundPaths();
    if (paths.empty()) {
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH = s.CURRENTUSERHOMEPATH + "/wallet";
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = storage::kNoWalletsStatus;
    } else {
        selectAmong(paths);
    }
    if (!s.APPLICATIONTEXTWALLETCURRENTFILEPATH.empty()) {
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH =
            storage::walletFolderOf(s.APPLICATIONTEXTWALLETCURRENTFILEPATH);
        s.APPLICATIONTEXTWALLETCURRENTSTATUS =
            storage::selectedWalletStatus(s.APPLICATIONTEXTWALLETINSTALLATIONPATH);
    }
    storage::lastScan().installationPath = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    storage::lastScan().status = s.APPLICATIONTEXTWALLETCURRENTSTATUS;
    s.ZXINKEY.clear();
}
