// The manual installation menu: its screen, the messages of options 4 to 6, option 7's
// record, and the archive folder that option 3 reads.
#include "install/manual_menu.h"

#include "app/installWalletForLinux.h"
#include "install/typed_path.h"
#include "test_support.h"

namespace {

// The menus discard keys typed ahead: a quiet moment before each key lets it through.
void menuKey(FakePlatform& fake, const char* key) {
    fake.keys.push_back(Key{KeyKind::Timeout, ""});
    fake.pressKey(key);
}

class ManualMenu : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().CURRENTUSERHOMEPATH = home.path();
        S().THISPROGRAMEXECUTABLEFILEPATH = home.path();
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home / "apps/wallet";
    }
    void run(std::initializer_list<const char*> keys) {
        for (const char* k : keys) menuKey(fake, k);
        menuKey(fake, "0");
        runManualInstallationMenu();
    }
    ScopedTempDir home;
};

TEST_F(ManualMenu, ScreenEndsWithTheStatusEntryWithoutALineBreak) {
    S().APPLICATIONTEXTWALLETINSTALLATIONPATH = "/p";
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = "x";
    menuKey(fake, "0");
    runManualInstallationMenu();
    const std::string& screen = fake.screen;
    EXPECT_EQ(screen.find(" MAIN MENU-MANUAL INSTALLATION    \n \n \n CURRENT PATH= /p\n \n"),
              console::clearSequence().size())
        << screen;
    const std::string tail = " > PRESS 0..TO GO BACK\n \n \n APPLICATION STATUS= x";
    EXPECT_NE(screen.find(tail), std::string::npos) << screen;
    EXPECT_EQ(screen.find(tail + "\n"), std::string::npos) << screen;
}

TEST_F(ManualMenu, IconMissingMessagesNameTheFolderLookedIn) {
    // Option 4 looks where the launcher it writes takes its icon from: the installation path.
    run({"4"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "SORRY, wallet.ico IS NOT PRESENT IN " + home.path() + "/apps/wallet/");
    run({"5"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "SORRY, wallet.ico IS NOT PRESENT IN " + home.path() + "/apps/wallet/");
    run({"6"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "SORRY, wallet.ico IS NOT PRESENT IN " + home.path() + "/apps/wallet/");
    EXPECT_FALSE(std::filesystem::exists(home / "Desktop"));
    EXPECT_TRUE(fake.commands.empty());
}

TEST_F(ManualMenu, OptionSevenBeforeAnyLauncherRecordsAnEmptyCreatedPath) {
    const auto before = std::filesystem::current_path();
    run({"7"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONSTATUS, "CREATED ");
    EXPECT_FALSE(S().APPLICATIONTEXTWALLETINSTALLATIONDATE.empty());
    const std::string cfg = readFileBytes(home / "apps/wallet/wallet.cfg");
    EXPECT_NE(cfg.find("applicationTextWalletInstallationPath=" + home.path() + "/apps/wallet\r"),
              std::string::npos)
        << cfg;
    EXPECT_NE(cfg.find("applicationTextWalletInstallationDate=" +
                       S().APPLICATIONTEXTWALLETINSTALLATIONDATE + "\r"),
              std::string::npos)
        << cfg;
    EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(ManualMenu, OptionSevenNamesTheLastDesktopLauncher) {
    install::thisRun().desktopLauncherPath = "/h/Desktop/Corvane wallet.desktop";
    run({"7", "7"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONSTATUS,
              "CREATED /h/Desktop/Corvane wallet.desktop");
    // Each run appends its records.
    const std::string cfg = readFileBytes(home / "apps/wallet/wallet.cfg");
    std::size_t n = 0;
    for (auto at = cfg.find("applicationTextWalletInstallationPath="); at != std::string::npos;
         at = cfg.find("applicationTextWalletInstallationPath=", at + 1))
        ++n;
    EXPECT_EQ(n, 2u);
}

TEST_F(ManualMenu, OptionThreeReadsWhereOptionTwoDownloads) {
    EXPECT_EQ(install::manualArchiveFolder("", "/ip"), "/ip/archive");
    EXPECT_EQ(install::manualArchiveFolder("/other/archive", "/ip"), "/other/archive");
    // Option 2's download runs in ip/archive, where "current" then appears.
    run({"2"});
    ASSERT_FALSE(fake.commands.empty());
    const auto& wget = fake.commands.back();
    EXPECT_NE(wget.commandLine.find("wget"), std::string::npos) << wget.commandLine;
    EXPECT_EQ(wget.cwd, home.path() + "/apps/wallet/archive");
    EXPECT_EQ(install::thisRun().archiveFolder, home.path() + "/apps/wallet/archive");
}

TEST_F(ManualMenu, KeyOneTakesATypedPathAgainstTheStartFolderOrRefusesIt) {
    install::startFolder() = home / "start";
    const std::string before = S().APPLICATIONTEXTWALLETINSTALLATIONPATH;
    const std::pair<std::string, std::string> cases[] = {
        // typed, then the installation path afterwards (or the refusal on the status line)
        {"apps", home / "start/apps/wallet"},
        {"-rf", home / "start/-rf/wallet"},
        {std::string(300, 'a'), "Path Refused, A Folder Name Longer Than 255 Bytes"},
    };
    for (const auto& [typed, want] : cases) {
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = before;
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = "x";
        fake.lines.push_back(typed);
        run({"1"});
        const bool refused = want.front() != '/';
        EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, refused ? before : want);
        EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, refused ? want : "x");
    }
    EXPECT_TRUE(fake.commands.empty());
}

TEST_F(ManualMenu, OptionsTwoAndSevenStopWhereTheirFolderCannotBeEntered) {
    // A file stands where a folder of the path should: wget would fill the current folder,
    // and wallet.cfg would be written there.
    writeFileBytes(home / "file", "x");
    const std::pair<const char*, const char*> cases[] = {
        // key, the end of what the status names: the file that stands in the way
        {"2", "/file"},
        {"7", "/file"},
    };
    const auto before = std::filesystem::current_path();
    for (const auto& [key, folder] : cases) {
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home / "file/wallet";
        run({key});
        for (const auto& c : fake.commands)
            EXPECT_EQ(c.commandLine.find("wget"), std::string::npos) << c.commandLine;
        const std::string& status = S().APPLICATIONTEXTWALLETCURRENTSTATUS;
        EXPECT_TRUE(status.starts_with("Installation Stopped, Cannot Enter ") &&
                    status.ends_with(folder))
            << key << ": " << status;
        EXPECT_EQ(std::filesystem::current_path(), before) << key;
        EXPECT_FALSE(std::filesystem::exists(before / "wallet.cfg")) << key;
    }
}

}  // namespace
