// The wallet scan's pieces: the folder entered for a mount path, the test of a listing entry,
// the selection screen and its keys, and the folder that a picked wallet gives.
// runWalletScan (top menu key "4") joins them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/screen.h"
#include "core/shared_state.h"

namespace storage {

// The folder entered to list a mount path: one trailing "/" removed, then "/" appended
// ("/" stays "/", "/home" gives "/home/").
std::string mountFolderOf(std::string_view mountPath);
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

// The same, read as a stream: pieces of a zero-separated listing go in as they come, split
// wherever; only the wallet entries and the one entry not yet ended are kept, so memory is
// bounded by what is found (and the longest name), not by the listing.
class WalletListing {
public:
    void feed(std::string_view piece);
    // The end of the listing: an entry without its zero byte is tested too.
    void finish();
    const std::vector<std::string>& wallets() const { return wallets_; }
    std::size_t entries() const { return entries_; }  // zero bytes seen

private:
    void take(std::string_view entry);
    std::vector<std::string> wallets_;
    std::size_t entries_ = 0;
    std::string partial_;
};
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

// Lists `folder` recursively (by its resolved path; the current folder stays) and returns its
// wallet entries; the listing is read back from the scratch file as a stream (WalletListing),
// never held whole. Nothing when the folder cannot be entered or is reached through a link.
// entryCount, when given, receives the number of entries listed. find's own error lines go to the
// capture's error file (kListingErrorFile in the program folder), not to the screen.
std::vector<std::string> walletsBelow(const std::string& folder, std::size_t* entryCount = nullptr);
inline constexpr const char* kListingErrorFile = "temperr.txt";

// Counts the entries of a listing file while it grows: each look reads only what was
// appended since the last one and counts the separators in it. A file not yet made counts 0.
class ListingCounter {
public:
    explicit ListingCounter(std::string path, char separator = '\n');
    ~ListingCounter();
    ListingCounter(const ListingCounter&) = delete;
    ListingCounter& operator=(const ListingCounter&) = delete;
    // The number of complete entries in the file now.
    std::size_t look();

private:
    std::string path_;
    char separator_;
    int fd_ = -1;
    std::size_t count_ = 0;
};

// The progress screen's lines for one partition: while it is listed and when it is done.
std::string partitionListingLine(std::string_view mountFolder, std::string_view device,
                                 std::size_t entries);
std::string partitionDoneLine(std::string_view mountFolder, std::string_view device,
                              std::size_t entries, std::size_t wallets);
inline constexpr const char* kScanProgressTitle = " SCANNING PARTITIONS FOR WALLETS";

// The scan's progress screen: a title, then one line per partition (the last ones when they
// do not all fit above the status row). The line of the partition being listed is rewritten
// as its count grows, with the terminal's own cursor save and restore.
class ScanProgress {
public:
    // A partition's listing starts: the screen is drawn with its line, count 0.
    void begin(const std::string& folder, const std::string& device);
    // A command ticker while find runs: looks at the growing listing, rewrites the line when
    // the count changed, turns the spinner; asks to be called again within 100 ms.
    int tick(ListingCounter& counter);
    // The listing is done: its line gets the entry and wallet counts.
    void end(std::size_t entries, std::size_t wallets);

private:
    static constexpr int kTickMs = 100;
    static constexpr std::size_t kFirstRow = 3;
    static constexpr std::size_t kRows = kStatusRow - kFirstRow;  // rows above the status row

    std::size_t firstShown() const;
    int rowOf(std::size_t index) const;
    void draw();

    std::vector<std::string> lines_;
    std::string folder_, device_;
    std::size_t shown_ = 0;
};

// What the last wallet scan of this run selected and said: the top menu replaces the status
// text, so the selected-wallet menu shows it again while the path is still the scan's.
// Kept in the run's memory.
using ScanOutcome = RunMemory::Scan;
ScanOutcome& lastScan();

// The storage survey, then every recorded partition listed: the wallets found, in order (a
// wallet reached along two paths once), with no selection.
std::vector<std::string> surveyAndFindWallets();

}  // namespace storage

// The wallet scan (top menu key "4").
void runWalletScan();
