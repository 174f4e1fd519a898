// The wallet scan's pieces: the folder entered for a mount path, the test of a listing entry,
// the selection screen and its keys, and the folder that a picked wallet gives.
// runWalletScan (top menu key "4") joins them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace storage {

// The folder entered to list a mount path: one trailing "/" removed, then "/" appended
// ("/" stays "/", "/home" gives "/home/").
std::string mountFolderOf(std::string_view mountPath);
// The working folder as the system reports it (empty when it cannot be told).
std::string workingFolderPath();
// Whether the working folder (reported without a trailing "/", except the root) is folder.
bool isSameFolder(std::string_view workingFolder, std::string_view folder);
// A listing entry is a wallet when its last seven characters are "/wallet".
bool isWalletEntry(std::string_view entry);
// A path holding a control character (a line feed, an escape, DEL, U+0080..U+009F) is shown
// escaped but can never be picked: it cannot be told apart from the names it imitates.
bool holdsControlCharacter(std::string_view path);
// /proc and /sys (and folders below them) hold the kernel's views, never a wallet: not listed.
bool isKernelFolder(std::string_view folder);
// The listing command of one partition: find stays on the folder's own file system (a
// partition mounted below it is listed once, as itself) and ends each name with a zero byte,
// the one byte that no name can hold.
std::string listingCommand(std::string_view folder);
// The wallet entries of a zero-separated listing, in order.
std::vector<std::string> walletEntriesOf(std::string_view listing);
// The installation folder of a picked wallet: the path without its "/wallet" ending.
std::string walletFolderOf(std::string_view pickedPath);

// The selection screen, top line first: every wallet found is shown and picked with its key
// (one wallet too, whose screen speaks of one wallet).
std::vector<std::string> selectionScreenLines(const std::vector<std::string>& paths);

// What a key does on the selection screen: pick entry `index` (1-based), leave, or redraw.
struct SelectionChoice {
    enum Kind { Pick, Leave, Redraw } kind = Redraw;
    std::size_t index = 0;
};
// "1".."9" pick when not above the count (only the first nine can be picked) and the path
// holds no control character; "0" leaves.
SelectionChoice selectionChoiceFor(std::string_view key, const std::vector<std::string>& paths);

// Status texts of the scan.
inline constexpr const char* kNoWalletsStatus = "NO WALLETS FOUND, NEW INSTALLATION PATH SELECTED";
std::string selectedWalletStatus(std::string_view installationPath);

// Lists `folder` recursively (entering it first) and returns its wallet entries; the listing is
// released before returning. Nothing when the folder cannot be entered.
std::vector<std::string> walletsBelow(const std::string& folder);

}  // namespace storage
