// Start-up: the invocation-name rule, terminal detection order, the top screen and keys.
#include "app/startup.h"

#include "app/installWalletForLinux.h"
#include "app/menu_driver.h"
#include "install/receipt.h"
#include "test_support.h"

namespace {

TEST(InvocationName, KeepsOnlyTheLastPathComponent) {
    for (const char* inv : {"./setup", "/opt/x/setup", "setup", "../bin/setup"})
        EXPECT_EQ(invocationFileName(inv), "setup") << inv;
    EXPECT_EQ(invocationFileName("./installWalletForLinux"), "installWalletForLinux");
}

TEST(FileFolder, BesideTheProgramWhenWritableElseTheStateFolder) {
    struct Case {
        bool writable;
        const char* xdg;
        const char* home;
        const char* want;
    } cases[] = {
        {true, "/x", "/home/ann", "/opt/inst"},
        {false, "", "/home/ann", "/home/ann/.local/state/corvane-installer"},
        {false, "/var/ann-state/", "/home/ann", "/var/ann-state/corvane-installer"},
        {false, "relative/state", "/home/ann", "/home/ann/.local/state/corvane-installer"},
        {false, "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileFolderFor("/opt/inst", c.writable, c.xdg, c.home), c.want) << c.xdg;
    }
}

TEST(FileFolder, StateFolderAndMissingParentsArePrivate) {
    ScopedTempDir dir;
    const std::string folder = dir.path() + "/.local/state/corvane-installer";
    ASSERT_TRUE(makePrivateFolder(folder));
    for (const std::string& p : {dir.path() + "/.local", dir.path() + "/.local/state", folder}) {
        EXPECT_EQ(modeOf(p), 0700u) << p;
    }
    EXPECT_TRUE(makePrivateFolder(folder));  // an existing folder is fine
    writeFileBytes(folder + "/x", "");
    EXPECT_FALSE(makePrivateFolder(folder + "/x"));  // a file is no folder
}

class StartupTest : public WithFakePlatform {};

TEST_F(StartupTest, TerminalEmulatorIsTheFirstOfTheFixedOrderThatExists) {
    EXPECT_EQ(detectTerminalEmulator(), "");
    fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/uxterm", "/usr/bin/mate-terminal"};
    EXPECT_EQ(detectTerminalEmulator(), "mate-terminal");
    fake.existingSystemPaths.insert("/usr/bin/xfce4-terminal");
    EXPECT_EQ(detectTerminalEmulator(), "xfce4-terminal");
    fake.existingSystemPaths.insert("/usr/bin/gnome-terminal");
    EXPECT_EQ(detectTerminalEmulator(), "gnome-terminal");
    fake.existingSystemPaths = {"/usr/bin/xterm"};
    EXPECT_EQ(detectTerminalEmulator(), "xterm");
}

TEST_F(StartupTest, TopScreenHasItsHeaderAndThreeListedOptions) {
    S().OSTYPE = "Linux";
    S().APPLICATIONTEXTWALLETINSTALLERVERSION = "0.10.61";
    S().APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE = "ALPHA";
    auto lines = console::menuLines(topMenu());
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], " WALLET LINUX INSTALLER 0.10.61 ALPHA");
    EXPECT_EQ(lines[6], " > PRESS 1..TO INSTALL A CORVANE WALLET");
    EXPECT_EQ(lines[13], " > PRESS 8..FOR ADVANCED OPTIONS, PREFERENCES AND INFORMATION");
    EXPECT_EQ(lines[15], " > PRESS 0..TO EXIT");
}

TEST_F(StartupTest, TopMenuFillsTheInstallationPathAndRedrawsOnKeysWithoutMeaning) {
    S().CURRENTUSERHOMEPATH = "/home/tester";
    for (const char* key : {"9", "x", "\x1b[B"}) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.keys.push_back(Key{KeyKind::Char, key});
        runTopMenuOnce();
        EXPECT_EQ(S().ZXINKEY, key);
    }
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, "/home/tester");
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, "APPLICATION STATUS= Awaiting user input");
    EXPECT_TRUE(fake.commands.empty());
}

TEST(WalletLaunch, OneCommandInTheTerminalWhenThereIsOneElseTheProgramItself) {
    EXPECT_EQ(walletLaunchCommand("mate-terminal", "mate-terminal", "/home/u/wallet/wallet"),
              "mate-terminal -x /home/u/wallet/wallet");
    EXPECT_EQ(walletLaunchCommand("", "xterm", "/home/u/wallet/wallet"),
              "xterm -e /home/u/wallet/wallet");
    EXPECT_EQ(walletLaunchCommand("uxterm", "uxterm", "/home/jo smith/wallet"),
              "uxterm -e '/home/jo smith/wallet'");
    EXPECT_EQ(walletLaunchCommand("", "", "/home/jo smith/wallet/wallet"),
              "'/home/jo smith/wallet/wallet'");
}

class WalletChoice : public WithFakePlatform {
protected:
    std::string program(const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        writeFileBytes(path, "#!/bin/sh\n");
        chmod(path.c_str(), 0755);
        return path;
    }
    static void record(const std::string& folder,
                       const std::vector<std::pair<std::string, std::string>>& records) {
        std::string text;
        for (const auto& [marker, value] : records) text += marker + "=" + value + "\r\n";
        writeFileBytes(folder + "/wallet.cfg", text);
    }
    ScopedTempDir dir;
};

TEST_F(WalletChoice, ThisRunsInstallationThenThePickThenTheRecordAtTheInstallationPath) {
    const std::string home = dir.path();
    EXPECT_EQ(programToLaunch("", "", home, ""), "") << "nothing installed anywhere";

    // Install-and-stay into the home folder: wallet.cfg names only the installation path.
    const std::string stay = program(home + "/wallet");
    record(home, {{"applicationTextWalletInstallationPath", home},
                  {"applicationTextWalletInstallationDate", "2026"}});
    EXPECT_EQ(programToLaunch("", "", home, ""), stay);

    // Install-and-exit records its application folder in its wallet folder's wallet.cfg.
    const std::string other = dir / "other";
    const std::string exitProgram = program(other + "/wallet/wallet");
    record(other + "/wallet", {{"applicationTextWalletInstallationPath", other},
                               {"applicationTextWalletApplicationPath", other + "/wallet"}});
    EXPECT_EQ(programToLaunch("", "", other, ""), exitProgram);

    // A receipt names the program when the record does not.
    const std::string third = dir / "third";
    const std::string laid = program(third + "/wallet");
    receipt::Receipt r;
    ASSERT_TRUE(receipt::addLaid(r, receipt::Kind::File, third + "/wallet"));
    ASSERT_EQ(receipt::save(third, r), 0);
    EXPECT_EQ(programToLaunch("", "", third, ""), laid);

    // The pick beats the record, this run's installation beats both; one that is gone (or
    // not a program) does not count.
    const std::string picked = program(dir / "picked/wallet");
    const std::string installed = program(dir / "installed/wallet");
    EXPECT_EQ(programToLaunch("", picked, home, ""), picked);
    EXPECT_EQ(programToLaunch(installed, picked, home, ""), installed);
    EXPECT_EQ(programToLaunch(dir / "gone/wallet", dir / "gone2/wallet", home, ""), stay);
    writeFileBytes(dir / "plain", "x");
    EXPECT_EQ(programToLaunch(dir / "plain", "", home, ""), stay);

    // Without any of them: the wallet program in the home folder's wallet folder.
    const std::string own = dir / "own";
    const std::string homeWallet = program(own + "/wallet/wallet");
    EXPECT_EQ(programToLaunch("", "", dir / "nothing", own), homeWallet);
    EXPECT_EQ(programToLaunch("", "", dir / "nothing", dir / "nothing"), "");
}

TEST_F(WalletChoice, KeyThreeStartsTheWalletOnceOrSaysThatThereIsNone) {
    S().CURRENTOSACCOUNTUSERHOMEPATH = dir.path();
    S().CURRENTUSERHOMEPATH = dir.path();
    // No wallet anywhere: nothing runs and the top screen says so.
    fake.keys.push_back(Key{KeyKind::Timeout, ""});  // what the discard of typed-ahead keys reads
    fake.pressKey("3");
    std::optional<std::string> next = runTopMenuOnce();
    EXPECT_TRUE(fake.commands.empty());
    fake.screen.clear();
    fake.keys.push_back(Key{KeyKind::Timeout, ""});
    fake.pressKey("x");
    next = runTopMenuOnce(next);
    EXPECT_NE(fake.screen.find(kNoWalletStatus), std::string::npos);
    // Said once: the pass after shows the waiting text again.
    EXPECT_EQ(next, std::nullopt);

    const std::string wallet = program(dir / "wallet/wallet");
    for (const std::string terminal : {"xterm", ""}) {
        fake.commands.clear();
        S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = terminal;
        S().DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = terminal;
        install::thisRun().programPath = wallet;  // as an installation of this run leaves it
        launchWallet();
        EXPECT_EQ(fake.commandLines(),
                  std::vector<std::string>{walletLaunchCommand(terminal, terminal, wallet)})
            << terminal;
    }
}

}  // namespace
