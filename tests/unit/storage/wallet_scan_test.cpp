// The wallet scan: mount folders, the wallet test on listing entries, the selection screen
// and its keys, and the scan routine over canned partitions.
#include "storage/wallet_scan.h"

#include "app/installWalletForLinux.h"
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

TEST(SelectionScreen, ListsEveryPathWithItsNumber) {
    EXPECT_EQ(storage::selectionScreenLines({"/a/wallet", "/b/wallet"}),
              (std::vector<std::string>{
                  " FOUND 2 WALLETS", " ", "   #=1  PATH=/a/wallet", "   #=2  PATH=/b/wallet", " ",
                  " > PRESS 1-2 TO SELECT A WALLET", " ", " > PRESS 0 TO EXIT"}));
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
        const auto got = storage::selectionChoiceFor(c.key, c.count);
        EXPECT_EQ(got.kind, c.kind) << c.key << " of " << c.count;
        EXPECT_EQ(got.index, c.index) << c.key << " of " << c.count;
    }
}

}  // namespace
