// The wallet scan: mount folders, the wallet test on listing entries, the selection screen
// and its keys, and the scan routine over canned partitions.
#include "storage/wallet_scan.h"

#include <algorithm>
#include <cstdlib>

#include "app/installWalletForLinux.h"
#include "host/shell_capture.h"
#include "test_support.h"

namespace {

TEST(MountFolder, HasExactlyOneTrailingSeparator) {
    EXPECT_EQ(storage::mountFolderOf("/"), "/");
    EXPECT_EQ(storage::mountFolderOf("/home"), "/home/");
    EXPECT_EQ(storage::mountFolderOf("/boot/efi/"), "/boot/efi/");
    EXPECT_TRUE(storage::isSameFolder("/", "/"));
    EXPECT_TRUE(storage::isSameFolder("/home", "/home/"));
    EXPECT_FALSE(storage::isSameFolder("/home/u", "/home/"));
    EXPECT_FALSE(storage::isSameFolder("", "/"));
}

TEST(WalletEntries, EndInSeparatorAndWallet) {
    EXPECT_TRUE(storage::isWalletEntry("/home/u/wallet"));
    EXPECT_TRUE(storage::isWalletEntry("/home/u/wallet/wallet"));
    EXPECT_TRUE(storage::isWalletEntry("/wallet"));
    EXPECT_FALSE(storage::isWalletEntry("/home/u/mywallet"));
    EXPECT_FALSE(storage::isWalletEntry("/home/u/wallet/wallet.ico"));
    EXPECT_FALSE(storage::isWalletEntry("wallet"));
    EXPECT_EQ(storage::walletFolderOf("/home/u/wallet/wallet"), "/home/u/wallet");
    EXPECT_EQ(storage::walletFolderOf("/wallet"), "");
}

TEST(CaptureCleaning, DropsZeroBytesAndOuterBlanksOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"  /a/wallet\n/b \n  ", "/a/wallet\n/b \n"},
        {std::string("a\0b\0", 4), "ab"},
        {"   ", ""},
        {"", ""},
        {"\n x \n", "\n x \n"},
    };
    for (auto [text, want] : cases) {
        cleanCaptureInPlace(text);
        EXPECT_EQ(text, want);
    }
}

// Names are split at zero bytes only: a line feed inside a folder name stays part of it.
TEST(WalletEntries, AreSplitAtZeroBytes) {
    const std::string listing("/m/a\0/m/x\n/any/path/wallet\0/m/b/wallet\0/m/b/wallet/wallet\0/m/c",
                              62);
    EXPECT_EQ(
        storage::walletEntriesOf(listing),
        (std::vector<std::string>{"/m/x\n/any/path/wallet", "/m/b/wallet", "/m/b/wallet/wallet"}));
    EXPECT_EQ(storage::listingCommand("/media/My Disk"), "find -- '/media/My Disk' -xdev -print0");
    for (const char* kernel : {"/proc/", "/sys/", "/sys/kernel/", "/proc"})
        EXPECT_TRUE(storage::isKernelFolder(kernel)) << kernel;
    for (const char* other : {"/", "/home/", "/processes/", "/system/"})
        EXPECT_FALSE(storage::isKernelFolder(other)) << other;
}

TEST(SelectionScreen, ListsEveryPathWithItsNumberAndOneWalletToo) {
    EXPECT_EQ(storage::selectionScreenLines({"/a/wallet", "/b/wallet"}),
              (std::vector<std::string>{
                  " FOUND 2 WALLETS", " ", "   #=1  PATH=/a/wallet", "   #=2  PATH=/b/wallet", " ",
                  " > PRESS 1-2 TO SELECT A WALLET", " ", " > PRESS 0 TO EXIT"}));
    EXPECT_EQ(
        storage::selectionScreenLines({"/a/wallet"}),
        (std::vector<std::string>{" FOUND 1 WALLET", " ", "   #=1  PATH=/a/wallet", " ",
                                  " > PRESS 1 TO SELECT THE WALLET", " ", " > PRESS 0 TO EXIT"}));
}

TEST(SelectionKeys, PickOnlyListedNumbersUpToNine) {
    using K = storage::SelectionChoice;
    struct Case {
        const char* key;
        std::size_t count;
        K::Kind kind;
        std::size_t index;
    } cases[] = {
        {"1", 2, K::Pick, 1},   {"2", 2, K::Pick, 2},     {"3", 2, K::Redraw, 0},
        {"5", 3, K::Redraw, 0}, {"3", 3, K::Pick, 3},     {"9", 12, K::Pick, 9},
        {"0", 3, K::Leave, 0},  {"a", 3, K::Redraw, 0},   {"\x1b[A", 3, K::Redraw, 0},
        {"", 3, K::Redraw, 0},  {"12", 12, K::Redraw, 0},
    };
    for (const auto& c : cases) {
        const auto got =
            storage::selectionChoiceFor(c.key, std::vector<std::string>(c.count, "/a/wallet"));
        EXPECT_EQ(got.kind, c.kind) << c.key << " of " << c.count;
        EXPECT_EQ(got.index, c.index) << c.key << " of " << c.count;
    }
    // A path holding a control character is listed but never picked.
    const std::vector<std::string> paths{"/m/x\n/any/path/wallet", "/m/\x1b[2J/wallet",
                                         "/m/\xc2\x9b"
                                         "2J/wallet",
                                         "/m/caf\xc3\xa9/wallet"};
    EXPECT_EQ(storage::selectionChoiceFor("1", paths).kind, K::Redraw);
    EXPECT_EQ(storage::selectionChoiceFor("2", paths).kind, K::Redraw);
    EXPECT_EQ(storage::selectionChoiceFor("3", paths).kind, K::Redraw);
    EXPECT_EQ(storage::selectionChoiceFor("4", paths).kind, K::Pick);
}

// The scan over real folders: the survey reads a canned df listing, find runs for real.
class WalletScanRun : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = program.path();
        S().THISPROGRAMEXECUTABLEFILENAME = "installWalletForLinux";
        S().CURRENTUSERHOMEPATH = "/home/u";
        fake.onRun = [this](const RecordedCommand& c) {
            std::string line = c.commandLine;
            const std::string df = kSudo + "df -h";
            if (line.rfind(df, 0) == 0) line.replace(0, df.size(), "cat " + program / "df.txt");
            return std::system(line.c_str());
        };
        std::filesystem::create_directories(disk / "a/wallet");
        writeFileBytes(disk / "a/wallet/wallet", "");
        std::filesystem::create_directories(disk / "b");
        writeFileBytes(disk / "b/wallet", "");
        writeFileBytes(disk / "b/wallet.ico", "");
    }
    void setDf(const std::vector<std::string>& mounts) {
        std::string text;
        for (const auto& m : mounts) text += "/dev/fake1 1G 0 1G 0% " + m + "\n";
        writeFileBytes(program / "df.txt", text);
    }
    void key(const char* k) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey(k);
    }
    std::vector<std::string> found() const {
        std::vector<std::string> v;
        for (std::size_t i = 1; i <= S().NUMBEROFPATHSINLOCATIONDYNAMICARRAY; ++i)
            v.push_back(S().LOCATIONDYNAMICARRAY[i]);
        std::sort(v.begin(), v.end());
        return v;
    }
    ScopedTempDir program, disk;
};

TEST_F(WalletScanRun, ListsEveryPartitionRedrawsOnAnUnlistedDigitAndPicks) {
    setDf({disk.path() + "/", "/no/such/mount", program.path()});
    key("5");
    key("3");
    std::filesystem::current_path(program.path());
    runWalletScan();
    EXPECT_EQ(std::filesystem::current_path().string(), program.path());
    const auto& s = S();
    EXPECT_EQ(found(), (std::vector<std::string>{disk / "a/wallet", disk / "a/wallet/wallet",
                                                 disk / "b/wallet"}));
    // The picked path is the third one listed, whatever order find gave.
    const std::string picked = s.LOCATIONDYNAMICARRAY[3];
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTFILEPATH, picked);
    EXPECT_EQ(s.APPLICATIONTEXTWALLETINSTALLATIONPATH, storage::walletFolderOf(picked));
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTSTATUS,
              "SELECTED WALLET AT " + storage::walletFolderOf(picked));
    EXPECT_EQ(s.ZXINKEY, "");
    std::size_t drawings = 0;
    for (auto at = fake.screen.find(" FOUND 3 WALLETS"); at != std::string::npos;
         at = fake.screen.find(" FOUND 3 WALLETS", at + 1))
        ++drawings;
    EXPECT_EQ(drawings, 2u);
    // Two folders listed, each followed by the listing's pause; no listing is kept afterwards.
    EXPECT_EQ(fake.sleptMs, 2 * 2000);
    EXPECT_TRUE(s.COMMANDLINEOUTPUT.empty());
    EXPECT_EQ(s.COMMANDLINEOUTPUT.capacity(), std::string().capacity());

    // No partition recorded (a wrong password): the found list is offered again; "0" keeps
    // the pick.
    setDf({});
    key("0");
    runWalletScan();
    EXPECT_EQ(found().size(), 3u);
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTFILEPATH, picked);
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTSTATUS,
              "SELECTED WALLET AT " + storage::walletFolderOf(picked));
}

TEST_F(WalletScanRun, NoWalletSelectsANewPathInHome) {
    setDf({program.path()});
    runWalletScan();
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, "/home/u/wallet");
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, storage::kNoWalletsStatus);
    EXPECT_EQ(storage::lastScan().status, storage::kNoWalletsStatus);
    // One listing per partition, by absolute path, from the program folder.
    std::vector<std::string> finds;
    for (const auto& c : fake.commands)
        if (c.commandLine.rfind("find ", 0) == 0) finds.push_back(c.commandLine);
    EXPECT_EQ(finds, std::vector<std::string>{"find -- " + program.path() +
                                              " -xdev -print0 2> temperr.txt > tempout.txt"});
}

}  // namespace

namespace {

TEST(ListingCounter, CountsCompleteEntriesAsTheFileGrows) {
    ScopedTempDir dir;
    storage::ListingCounter counter(dir / "tempout.txt");
    EXPECT_EQ(counter.look(), 0u);  // not made yet
    writeFileBytes(dir / "tempout.txt", "/a\n/a/b\n/a/c");
    EXPECT_EQ(counter.look(), 2u);  // the third entry is not complete
    std::ofstream(dir / "tempout.txt", std::ios::app) << "\n/a/d\n";
    EXPECT_EQ(counter.look(), 4u);
    EXPECT_EQ(counter.look(), 4u);
}

TEST(ScanProgressLines, NameThePartitionAndItsCountsWithinOneRow) {
    EXPECT_EQ(storage::partitionListingLine("/home/", "/dev/sda2", 1234),
              "   /home/ (/dev/sda2) LISTING... 1234 ENTRIES");
    EXPECT_EQ(storage::partitionDoneLine("/", "/dev/sda1", 200000, 1),
              "   / (/dev/sda1) 200000 ENTRIES, 1 WALLET");
    EXPECT_EQ(storage::partitionDoneLine("/boot/efi/", "", 12, 0),
              "   /boot/efi/ 12 ENTRIES, 0 WALLETS");
    const std::string longFolder = "/" + std::string(63, 'm') + "/";
    const std::string line = storage::partitionDoneLine(longFolder, "/dev/nvme0n1p12", 200000, 2);
    EXPECT_EQ(line.size(), 79u);
    EXPECT_TRUE(line.ends_with("mmm/ (/dev/nvme0n1p12) 200000 ENTRIES, 2 WALLETS")) << line;
    EXPECT_EQ(line.substr(0, 6), "   ...");
}

}  // namespace

namespace {

TEST(WalletListing, AStreamSplitAnywhereFindsWhatTheWholeListingHolds) {
    std::string listing;
    for (const char* entry : {"/m/", "/m/a", "/m/a/wallet", "/m/a/wallet/wallet", "/m/b/xwallet",
                              "/m/c/wallet", "/m/c/wallet.ico"})
        listing += std::string(entry) + '\0';
    listing += "/m/d/wallet";  // the last entry without its zero byte
    const auto whole = storage::walletEntriesOf(listing);
    for (std::size_t piece = 1; piece <= listing.size(); ++piece) {
        storage::WalletListing stream;
        for (std::size_t at = 0; at < listing.size(); at += piece)
            stream.feed(std::string_view(listing).substr(at, piece));
        stream.finish();
        EXPECT_EQ(stream.wallets(), whole) << piece;
        EXPECT_EQ(stream.entries(), 7u) << piece;
    }
}

}  // namespace
