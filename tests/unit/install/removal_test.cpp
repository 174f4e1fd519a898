// Removal: which folder is emptied over many layouts (never one that is not the wallet's,
// never through a link), and what uninstall keeps.
#include "install/removal.h"

#include <filesystem>
#include <set>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(RemovalRule, FolderEmptiedForEveryLayout) {
    struct Row {
        const char* installPath;
        std::set<std::string> realFolders;  // what the file system holds as real folders
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        // The home folder itself is never emptied; its wallet folder is.
        {"/home/u", {"/home/u", "/home/u/wallet"}, "/home/u/wallet"},
        {"/home/u", {"/home/u"}, std::nullopt},
        {"/home/u/", {"/home/u", "/home/u/wallet"}, "/home/u/wallet"},
        {"/home/u/wallet", {"/home/u/wallet", "/home/u/wallet/wallet"}, "/home/u/wallet"},
        {"/home/u/wallet///", {"/home/u/wallet"}, "/home/u/wallet"},
        {"/home/u/wallet", {}, std::nullopt},  // missing, or a link to a folder
        {"/home/u/mywallet", {"/home/u/mywallet"}, std::nullopt},
        {"/home/u/mywallet",
         {"/home/u/mywallet", "/home/u/mywallet/wallet"},
         "/home/u/mywallet/wallet"},
        {"/media/x/My Disk", {"/media/x/My Disk/wallet"}, "/media/x/My Disk/wallet"},
        {"wallet", {"wallet"}, "wallet"},
        {"/", {"/", "/wallet"}, "/wallet"},
        {"", {"", "/wallet"}, std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.installPath);
        auto isReal = [&](const std::string& p) { return r.realFolders.count(p) != 0; };
        EXPECT_EQ(removal::walletFolderToEmpty(r.installPath, isReal), r.expected);
    }
}

TEST(RemovalRule, FilesAreLookedForInThePathAndItsWalletFolder) {
    using V = std::vector<std::string>;
    EXPECT_EQ(removal::walletFileFolders("/home/u/"), (V{"/home/u", "/home/u/wallet"}));
    EXPECT_EQ(removal::walletFileFolders("/"), (V{"/", "/wallet"}));
    EXPECT_EQ(removal::walletFileFolders(""), V{});
}

TEST(RemovalRule, LinksAreNotRealFolders) {
    ScopedTempDir dir;
    fs::create_directories(dir / "target");
    fs::create_directory_symlink(dir / "target", dir / "wallet");
    EXPECT_TRUE(removal::isRealFolder(dir / "target"));
    EXPECT_FALSE(removal::isRealFolder(dir / "wallet"));
    EXPECT_EQ(removal::walletFolderToEmpty(dir.path(), removal::isRealFolder), std::nullopt);
}

class RemovalActions : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        home = dir.path();
        S().CURRENTUSERHOMEPATH = home;
        S().CURRENTOSACCOUNTUSERHOMEPATH = home;
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home;
        fs::create_directories(home + "/wallet/archive/wallet/current/Linux");
        fs::create_directories(home + "/Desktop");
        fs::create_directories(home + "/Documents");
        writeFileBytes(home + "/keep.txt", "mine");
        writeFileBytes(home + "/Documents/letter.txt", "mine");
        for (const char* f :
             {"wallet", "wallet.ico", "wallet.cfg", "archive/wallet/current/Linux/wallet"}) {
            writeFileBytes(home + "/wallet/" + f, "x");
        }
        writeFileBytes(home + "/Desktop/Corvane wallet.desktop", " \n");
        // A link inside the wallet folder to the user's documents: removed as a link only.
        fs::create_directory_symlink(home + "/Documents", home + "/wallet/docs");
    }
    std::vector<std::string> removedByRm() const {
        std::vector<std::string> v;
        for (const auto& c : fake.commands) {
            if (c.commandLine.rfind(kSudo + "rm ", 0) == 0) v.push_back(c.commandLine);
        }
        return v;
    }
    ScopedTempDir dir;
    std::string home;
};

TEST_F(RemovalActions, FileDeletionsAreNamedForBothFoldersAndTheLaunchers) {
    deleteAllWalletFiles();
    const std::vector<std::string> expected = {
        kSudo + "rm \"" + home + "/wallet/wallet\"",
        kSudo + "rm \"" + home + "/wallet/wallet.ico\"",
        kSudo + "rm \"" + home + "/wallet/wallet.cfg\"",
        kSudo + "rm \"" + home + "/Desktop/Corvane wallet.desktop\"",
    };
    auto rm = removedByRm();
    ASSERT_GE(rm.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(rm.begin(), rm.begin() + 4), expected);
    EXPECT_TRUE(fs::exists(home + "/keep.txt"));
    EXPECT_TRUE(fs::exists(home + "/Documents/letter.txt"));
}

TEST_F(RemovalActions, UninstallEmptiesTheWalletFolderButKeepsWalletCfg) {
    S().SUDOPASSWORD = "pw";
    uninstallWallet();
    EXPECT_TRUE(fs::exists(home + "/wallet/wallet.cfg"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(home + "/wallet/docs")));
    EXPECT_FALSE(fs::exists(home + "/wallet/archive"));
    EXPECT_TRUE(fs::exists(home + "/Documents/letter.txt"));
    EXPECT_TRUE(fs::exists(home + "/keep.txt"));
}

TEST_F(RemovalActions, RemoveLaunchersNamesTheThreeLaunchersOnly) {
    removeLaunchers();
    const std::vector<std::string> expected = {
        kSudo + "rm \"" + home + "/Desktop/Corvane wallet.desktop\"",
        kSudo + "rm \"" + home + "/.local/share/applications/Corvane wallet.desktop\"",
        kSudo + "rm \"/usr/share/applications/Corvane wallet.desktop\"",
    };
    EXPECT_EQ(removedByRm(), expected);
}

}  // namespace
