// Removal: the entries the installation lays out for every layout, and the actions on a real
// folder tree: only those entries go (as the user), the user's own files and the home folder
// stay, "Delete all files" asks first, uninstall keeps wallet.cfg.
#include "install/removal.h"

#include <filesystem>
#include <set>

#include "app/installWalletForLinux.h"
#include "core/path.h"
#include "install/launchers.h"
#include "install/receipt.h"
#include "net/sha256.h"
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
        const std::string trimmed = withoutTrailingSlash(r.installPath);
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

TEST_F(RemovalActions, RemoveLaunchersRemovesTheUsersOwnAsTheUser) {
    fs::create_directories(home + "/.local/share/applications");
    writeFileBytes(home + "/.local/share/applications/Corvane wallet.desktop", " \n");
    removeLaunchers();
    EXPECT_FALSE(fs::exists(home + "/Desktop/Corvane wallet.desktop"));
    EXPECT_FALSE(fs::exists(home + "/.local/share/applications/Corvane wallet.desktop"));
    for (const std::string& c : fake.commandLines()) {
        EXPECT_EQ(c.find(home), std::string::npos) << "never through sudo: " << c;
    }
    EXPECT_TRUE(fs::exists(home + "/wallet")) << "only launchers";
}

// An installation laid out by hand as the installation lays it, with its receipt beside
// wallet.cfg: every file with its hash as laid, every folder it made, its launchers.
class RemovalByReceipt : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        home = dir.path() + "/home";
        ip = dir.path() + "/disk/apps";
        S().CURRENTUSERHOMEPATH = home;
        S().CURRENTOSACCOUNTUSERHOMEPATH = home;
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = ip;
        fs::create_directories(home + "/Desktop");
        fs::create_directories(home + "/.local/share/applications");
        fs::create_directories(ip);
    }
    void lay(const std::string& rel, const std::string& bytes,
             receipt::Kind kind = receipt::Kind::File) {
        const std::string path = rel.front() == '/' ? rel : ip + "/" + rel;
        writeFileBytes(path, bytes);
        laid.entries.push_back({kind, path, net::sha256Hex(bytes)});
    }
    void layFolder(const std::string& rel) {
        fs::create_directories(ip + "/" + rel);
        laid.entries.push_back({receipt::Kind::Folder, ip + "/" + rel, ""});
    }
    void saveReceipt() { writeFileBytes(ip + "/" + receipt::kFileName, receipt::format(laid)); }
    void press(const char* key) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey(key);
    }
    std::string launcherFor(const std::string& program) {
        return launchers::formBContent(launchers::TerminalChoice{"xterm", " -e "}, program,
                                       ip + "/wallet.ico");
    }
    ScopedTempDir dir;
    std::string home, ip;
    receipt::Receipt laid;
};

TEST_F(RemovalByReceipt, DeleteAllTakesWhatWasLaidWhileUnchanged) {
    layFolder("control");
    layFolder("archive");
    layFolder("archive/current");
    lay("wallet", "program");
    lay("wallet.ico", "icon");
    lay("wallet.cfg", "record");
    lay("control/tellers", "tellers");
    lay("archive/current/wallet", "program");
    lay(home + "/Desktop/Corvane wallet.desktop", launcherFor(ip + "/wallet"),
        receipt::Kind::Launcher);
    saveReceipt();
    // Since the installation: the user changed the icon, put a wget of their own where the
    // installation copies one, and a note into a folder the installation made.
    writeFileBytes(ip + "/wallet.ico", "my icon");
    writeFileBytes(ip + "/wget", "my wget");
    writeFileBytes(ip + "/control/notes.txt", "mine");

    press("y");
    deleteAllWalletFiles();
    EXPECT_NE(fake.screen.find("   " + ip + "/wallet.ico (changed since installed)"),
              std::string::npos);
    EXPECT_NE(fake.screen.find("   " + ip + "/wget (not laid by the installer)"),
              std::string::npos);
    for (const char* gone :
         {"wallet", "wallet.cfg", "control/tellers", "archive", receipt::kFileName}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(ip + "/" + gone))) << gone;
    }
    EXPECT_FALSE(fs::exists(home + "/Desktop/Corvane wallet.desktop"));
    EXPECT_EQ(readFileBytes(ip + "/wallet.ico"), "my icon");
    EXPECT_EQ(readFileBytes(ip + "/wget"), "my wget");
    EXPECT_EQ(readFileBytes(ip + "/control/notes.txt"), "mine");
    EXPECT_TRUE(fake.commands.empty()) << "the user's files are removed by the user";
}

TEST_F(RemovalByReceipt, UninstallKeepsWalletCfgAndTheReceiptListsOnlyIt) {
    layFolder("control");
    lay("wallet", "program");
    lay("wallet.cfg", "record");
    lay("control/tellers", "tellers");
    saveReceipt();
    uninstallWallet();
    EXPECT_EQ(fake.screen.find("PRESS y"), std::string::npos) << "no question";
    EXPECT_FALSE(fs::exists(ip + "/wallet"));
    EXPECT_FALSE(fs::exists(ip + "/control"));
    EXPECT_EQ(readFileBytes(ip + "/wallet.cfg"), "record");
    const auto left = receipt::load(ip);
    ASSERT_TRUE(left);
    const std::vector<receipt::Entry> onlyCfg = {
        {receipt::Kind::File, ip + "/wallet.cfg", net::sha256Hex("record")}};
    EXPECT_EQ(left->entries, onlyCfg);
}

// A link where the installation had a folder is never followed, with a receipt or without one
// (an older installation): the files outside stay, even when they hold exactly what was laid.
TEST_F(RemovalByReceipt, LinksOnTheWayAreNotFollowed) {
    for (const bool withReceipt : {true, false}) {
        SCOPED_TRACE(withReceipt ? "receipt" : "no receipt");
        const std::string outside = dir.path() + "/outside" + (withReceipt ? "1" : "2");
        fs::create_directories(outside + "/current");
        writeFileBytes(outside + "/current/wallet", "program");
        laid = {};
        lay("wallet", "program");
        laid.entries.push_back({receipt::Kind::Folder, ip + "/archive", ""});
        laid.entries.push_back({receipt::Kind::Folder, ip + "/archive/current", ""});
        laid.entries.push_back(
            {receipt::Kind::File, ip + "/archive/current/wallet", net::sha256Hex("program")});
        fs::remove(ip + "/" + receipt::kFileName);
        if (withReceipt) saveReceipt();
        fs::remove(ip + "/archive");
        fs::create_directory_symlink(outside, ip + "/archive");
        fake.screen.clear();
        press("y");
        deleteAllWalletFiles();
        EXPECT_EQ(readFileBytes(outside + "/current/wallet"), "program");
        EXPECT_TRUE(fs::is_symlink(ip + "/archive"));
        EXPECT_FALSE(fs::exists(ip + "/wallet"));
        EXPECT_NE(fake.screen.find("(a link in its path)"), std::string::npos);
        EXPECT_TRUE(fake.commands.empty());
    }
}

// Without a receipt: a launcher left starting the removed program goes too (the menu's
// wallet.desktop as much as the desktop's launcher), one that starts something else stays, and
// a wget that no receipt says was laid is kept.
TEST_F(RemovalByReceipt, OlderInstallationLeavesNoLauncherThatStartsNothing) {
    for (const char* f : {"wallet", "wallet.ico", "wallet.cfg"}) writeFileBytes(ip + "/" + f, "x");
    writeFileBytes(ip + "/wget", "my wget");
    const std::string menuLauncher = home + "/.local/share/applications/wallet.desktop";
    const std::string otherLauncher = home + "/Desktop/wallet.desktop";
    writeFileBytes(menuLauncher, launcherFor(ip + "/wallet"));
    writeFileBytes(otherLauncher, launcherFor("/opt/other/wallet"));
    press("y");
    deleteAllWalletFiles();
    EXPECT_NE(fake.screen.find("   " + menuLauncher + "\n"), std::string::npos)
        << "the question names it";
    EXPECT_FALSE(fs::exists(ip + "/wallet"));
    EXPECT_FALSE(fs::exists(menuLauncher));
    EXPECT_TRUE(fs::exists(otherLauncher));
    EXPECT_EQ(readFileBytes(ip + "/wget"), "my wget");
    EXPECT_TRUE(fake.commands.empty());
}

TEST(RemovalLauncher, StartsTheProgramItsExecNames) {
    const std::string plain = "/m/apps/wallet";
    const std::string blanks = "/m/My Apps/wallet";
    using launchers::TerminalChoice;
    for (const std::string& program : {plain, blanks}) {
        SCOPED_TRACE(program);
        for (const auto& t :
             {std::optional<TerminalChoice>(TerminalChoice{"mate-terminal", " -x "}),
              std::optional<TerminalChoice>(TerminalChoice{"xterm", " -e "}),
              std::optional<TerminalChoice>()}) {
            EXPECT_TRUE(
                removal::launcherStarts(launchers::formBContent(t, program, "/i"), program));
            EXPECT_TRUE(
                removal::launcherStarts(launchers::formAContent(t, "/m", program, "/i"), program));
            EXPECT_FALSE(
                removal::launcherStarts(launchers::formBContent(t, program + "2", "/i"), program));
        }
    }
    EXPECT_FALSE(removal::launcherStarts("Exec=xterm -e /m/apps/wallet/wallet\n", plain));
}

}  // namespace
