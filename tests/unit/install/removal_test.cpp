// Removal: the entries the installation lays out for every layout, and the actions on a real
// folder tree: only those entries go (as the user), the user's own files and the home folder
// stay, "Delete all files" asks first, uninstall keeps wallet.cfg.
#include "install/removal.h"

#include <filesystem>
#include <set>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using removal::Entry;
using removal::Kind;

std::set<std::string> pathsOf(const std::vector<Entry>& entries, Kind kind) {
    std::set<std::string> out;
    for (const Entry& e : entries) {
        if (e.kind == kind) out.insert(e.path);
    }
    return out;
}

TEST(RemovalRule, EntriesOfEveryLayout) {
    struct Row {
        const char* installPath;
        bool walletIsFolder;
        const char* program;  // the program entry (a file)
        const char* firstCfg;
    };
    const Row rows[] = {
        {"/home/u", true, "/home/u/wallet/wallet", "/home/u/wallet/wallet.cfg"},
        {"/home/u/", false, "/home/u/wallet", "/home/u/wallet.cfg"},
        {"/m/My Disk/wallet///", false, "/m/My Disk/wallet/wallet", "/m/My Disk/wallet/wallet.cfg"},
        {"/", false, "/wallet", "/wallet.cfg"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.installPath);
        const std::string trimmed = removal::trimTrailingSeparators(r.installPath);
        const std::string ip = trimmed == "/" ? "" : trimmed;
        auto isReal = [&](const std::string& p) { return r.walletIsFolder && p == ip + "/wallet"; };
        const auto entries = removal::installationEntries(r.installPath, true, isReal);
        const auto files = pathsOf(entries, Kind::File);
        EXPECT_TRUE(files.count(r.program));
        EXPECT_TRUE(files.count(r.firstCfg));
        // The application folder is a folder, never a file to delete; it goes when empty.
        EXPECT_EQ(files.count(ip + "/wallet") == 0, r.walletIsFolder);
        EXPECT_EQ(pathsOf(entries, Kind::EmptyFolder).count(ip + "/wallet") == 1, r.walletIsFolder);
        // Contents come before their folders.
        for (std::size_t i = 0; i < entries.size(); ++i) {
            for (std::size_t j = i + 1; j < entries.size(); ++j) {
                EXPECT_NE(entries[j].path.rfind(entries[i].path + "/", 0), 0u)
                    << entries[i].path << " before " << entries[j].path;
            }
        }
        const auto withoutCfg = removal::installationEntries(r.installPath, false, isReal);
        EXPECT_EQ(pathsOf(withoutCfg, Kind::File).count(r.firstCfg), 0u);
        EXPECT_EQ(withoutCfg.size() + (r.walletIsFolder ? 2 : 1), entries.size());
    }
    EXPECT_TRUE(
        removal::installationEntries("", true, [](const std::string&) { return true; }).empty());
}

TEST(RemovalScreen, PathsAreEscapedAndFitted) {
    EXPECT_EQ(removal::shownPath("/a\x1b]0;x\a/b", 80), "/a\\x1b]0;x\\x07/b");
    EXPECT_EQ(removal::shownPath("/0123456789", 8), "...56789");
    std::vector<Entry> many;
    for (int i = 0; i < 20; ++i) many.push_back({"/w/f" + std::to_string(i), Kind::File});
    const auto lines = removal::confirmationLines(many);
    EXPECT_LE(lines.size(), 21u);  // above the status line
    EXPECT_EQ(lines[lines.size() - 3], "   ... and 5 more");
}

class RemovalActions : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        // HOME itself ends in /wallet, and is the installation path (the top menu's default).
        home = dir.path() + "/u/wallet";
        S().CURRENTUSERHOMEPATH = home;
        S().CURRENTOSACCOUNTUSERHOMEPATH = home;
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home;
        fs::create_directories(home + "/Desktop");
        fs::create_directories(home + "/Documents");
        fs::create_directories(home + "/archive/current/Linux");
        fs::create_directories(home + "/control/applications/wallet/tellerData");
        writeFileBytes(home + "/keep.txt", "mine");
        writeFileBytes(home + "/Documents/letter.txt", "mine");
        writeFileBytes(home + "/.profile", "mine");
        for (const char* f :
             {"wallet", "wallet.ico", "wallet.cfg", "archive/current/wallet.ico",
              "archive/current/Linux/wallet", "control/applications/wallet/tellerData/tellers"}) {
            writeFileBytes(home + "/" + f, "x");
        }
        // The wallet's own data beside the tellers file is not the installation's.
        writeFileBytes(home + "/control/applications/wallet/tellerData/keys.dat", "k");
        writeFileBytes(home + "/Desktop/Corvane wallet.desktop", " \n");
        // A link in the downloaded archive to the user's documents: removed as a link only.
        fs::create_directory_symlink(home + "/Documents", home + "/archive/current/docs");
    }
    void press(const char* key) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey(key);
    }
    ScopedTempDir dir;
    std::string home;
};

TEST_F(RemovalActions, DeleteAllAsksThenRemovesOnlyTheInstallationsNames) {
    press("n");
    deleteAllWalletFiles();
    EXPECT_TRUE(fs::exists(home + "/wallet")) << "any key but y keeps everything";
    EXPECT_NE(fake.screen.find("   " + home + "/wallet.cfg\n"), std::string::npos);
    EXPECT_NE(fake.screen.find(" > PRESS y..TO DELETE THESE FILES"), std::string::npos);

    press("y");
    deleteAllWalletFiles();
    for (const char* gone :
         {"/wallet", "/wallet.ico", "/wallet.cfg", "/archive",
          "/control/applications/wallet/tellerData/tellers", "/Desktop/Corvane wallet.desktop"}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(home + gone))) << gone;
    }
    EXPECT_EQ(readFileBytes(home + "/control/applications/wallet/tellerData/keys.dat"), "k");
    EXPECT_EQ(readFileBytes(home + "/keep.txt"), "mine");
    EXPECT_EQ(readFileBytes(home + "/.profile"), "mine");
    EXPECT_EQ(readFileBytes(home + "/Documents/letter.txt"), "mine");
    EXPECT_TRUE(fs::is_directory(home + "/Desktop"));
    EXPECT_TRUE(fake.commands.empty()) << "the user's files are removed by the user";

    // Nothing left to delete: no question at all.
    fake.screen.clear();
    deleteAllWalletFiles();
    EXPECT_EQ(fake.screen.find("PRESS y"), std::string::npos);
}

TEST_F(RemovalActions, UninstallKeepsWalletCfgAndAsksNothing) {
    uninstallWallet();
    EXPECT_TRUE(fs::exists(home + "/wallet.cfg"));
    EXPECT_FALSE(fs::exists(home + "/wallet"));
    EXPECT_FALSE(fs::exists(home + "/archive"));
    EXPECT_TRUE(fs::exists(home + "/Documents/letter.txt"));
    EXPECT_EQ(fake.screen.find("PRESS y"), std::string::npos);
}

TEST_F(RemovalActions, RemoveLaunchersNamesTheThreeLaunchersOnly) {
    removeLaunchers();
    const std::vector<std::string> expected = {
        kSudo + "rm -- \"" + home + "/Desktop/Corvane wallet.desktop\"",
        kSudo + "rm -- \"" + home + "/.local/share/applications/Corvane wallet.desktop\"",
        kSudo + "rm -- \"/usr/share/applications/Corvane wallet.desktop\"",
    };
    EXPECT_EQ(fake.commandLines(), expected);
}

}  // namespace
