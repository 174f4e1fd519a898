// The wallet scan: lists every recorded partition, offers the wallets found, and makes the
// pick the installation path that the selected-wallet menu reinstalls.
#include "storage/wallet_scan.h"

#include <unistd.h>

#include <filesystem>

#include "app/installWalletForLinux.h"
#include "console/console.h"
#include "host/shell.h"
#include "host/shell_capture.h"

namespace storage {

namespace {

constexpr std::string_view kWalletEnding = "/wallet";

// Enters folder unless the working folder already is it. One attempt: a folder that cannot be
// entered is skipped, never waited for.
bool enterFolder(const std::string& folder) {
    if (isSameFolder(workingFolderPath(), folder)) return true;
    return ::chdir(folder.c_str()) == 0 && isSameFolder(workingFolderPath(), folder);
}

// The recursive listing's pause after find (the scan waits as the listing always did).
constexpr int64_t kListingPauseMs = 2000;

}  // namespace

std::string workingFolderPath() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

std::string mountFolderOf(std::string_view mountPath) {
    if (!mountPath.empty() && mountPath.back() == '/') mountPath.remove_suffix(1);
    return std::string(mountPath) + "/";
}

bool isSameFolder(std::string_view workingFolder, std::string_view folder) {
    auto strip = [](std::string_view p) {
        if (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
        return p;
    };
    return !workingFolder.empty() && strip(workingFolder) == strip(folder);
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

std::vector<std::string> selectionScreenLines(const std::vector<std::string>& paths) {
    const std::string count = std::to_string(paths.size());
    std::vector<std::string> lines{" FOUND " + count + " WALLETS", " "};
    for (std::size_t i = 0; i < paths.size(); ++i)
        lines.push_back("   #=" + std::to_string(i + 1) + "  PATH=" + paths[i]);
    lines.insert(lines.end(),
                 {" ", " > PRESS 1-" + count + " TO SELECT A WALLET", " ", " > PRESS 0 TO EXIT"});
    return lines;
}

SelectionChoice selectionChoiceFor(std::string_view key, std::size_t count) {
    if (key == "0") return {SelectionChoice::Leave, 0};
    if (key.size() == 1 && key[0] >= '1' && key[0] <= '9') {
        const auto value = static_cast<std::size_t>(key[0] - '0');
        if (value <= count) return {SelectionChoice::Pick, value};
    }
    return {SelectionChoice::Redraw, 0};
}

std::string selectedWalletStatus(std::string_view installationPath) {
    return "SELECTED WALLET AT " + std::string(installationPath);
}

std::vector<std::string> walletsBelow(const std::string& folder) {
    std::vector<std::string> found;
    if (!enterFolder(folder)) return found;
    // The listing's command and pause are those of the recursive listing; the text is split in
    // the same pass that tests it, so only the listing itself is ever held.
    const std::string& listing = captureThroughScratchFile(
        "find " + shellQuote(workingFolderPath()), CapturePrivilege::User, kListingPauseMs);
    const std::string_view text = listing;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) lf = text.size();
        const std::string_view entry = text.substr(start, lf - start);
        if (isWalletEntry(entry)) found.emplace_back(entry);
        start = lf + 1;
    }
    std::string().swap(S().COMMANDLINEOUTPUT);
    return found;
}

}  // namespace storage

namespace {

void rememberFound(const std::vector<std::string>& found) {
    auto& s = S();
    for (const auto& path : found) s.LOCATIONDYNAMICARRAY.append(path);
    s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY = s.LOCATIONDYNAMICARRAY.upperBound();
}

// Comes back to the working folder it started in: later flows look for files (a local wget)
// in the working folder, which must not be whichever mount folder was listed last.
void scanRecordedPartitions() {
    auto& s = S();
    const std::string start = storage::workingFolderPath();
    s.LOCATIONDYNAMICARRAY.clear();
    s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY = 0;
    const auto partitions = std::min<std::size_t>(
        s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, kPartitionSlots);
    for (std::size_t i = 1; i <= partitions; ++i) {
        const std::string& mountPath = s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[i];
        if (mountPath.empty()) continue;
        rememberFound(storage::walletsBelow(storage::mountFolderOf(mountPath)));
    }
    if (!start.empty() && !storage::isSameFolder(storage::workingFolderPath(), start))
        (void)::chdir(start.c_str());
}

std::vector<std::string> foundPaths() {
    const auto& s = S();
    std::vector<std::string> paths;
    for (std::size_t i = 1; i <= s.NUMBEROFPATHSINLOCATIONDYNAMICARRAY; ++i)
        paths.push_back(s.LOCATIONDYNAMICARRAY[i]);
    return paths;
}

// The selection screen and its key wait; the key stays local so that the top menu's dispatch
// never sees it.
void selectAmong(const std::vector<std::string>& paths) {
    auto& s = S();
    while (true) {
        console::drawPage(storage::selectionScreenLines(paths));
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = "FOUND " + std::to_string(paths.size()) + " WALLETS";
        const auto choice = storage::selectionChoiceFor(console::waitMenuKey(), paths.size());
        if (choice.kind == storage::SelectionChoice::Pick)
            s.APPLICATIONTEXTWALLETCURRENTFILEPATH = paths[choice.index - 1];
        if (choice.kind != storage::SelectionChoice::Redraw) return;
    }
}

}  // namespace

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
    } else if (paths.size() == 1) {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = "FOUND 1 WALLET AT " + paths.front();
        s.APPLICATIONTEXTWALLETCURRENTFILEPATH = paths.front();
    } else {
        selectAmong(paths);
    }
    if (!s.APPLICATIONTEXTWALLETCURRENTFILEPATH.empty()) {
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH =
            storage::walletFolderOf(s.APPLICATIONTEXTWALLETCURRENTFILEPATH);
        s.APPLICATIONTEXTWALLETCURRENTSTATUS =
            storage::selectedWalletStatus(s.APPLICATIONTEXTWALLETINSTALLATIONPATH);
    }
    s.lastScanInstallationPath = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    s.lastScanStatus = s.APPLICATIONTEXTWALLETCURRENTSTATUS;
    s.ZXINKEY.clear();
}
