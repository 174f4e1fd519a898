// Start-up: the invocation-name rule, terminal detection order, the top screen and keys.
#include "app/startup.h"

#include "app/installWalletForLinux.h"
#include "app/menu_driver.h"
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

TEST(WalletLaunch, MateTerminalTakesMinusXOthersMinusEAndPathsAreQuoted) {
    EXPECT_EQ(
        walletLaunchCommands("mate-terminal", "mate-terminal", "/home/u/wallet/wallet", false),
        (std::vector<std::string>{"mate-terminal -x /home/u/wallet/wallet"}));
    EXPECT_EQ(
        walletLaunchCommands("", "xterm", "/home/u/wallet/wallet", true),
        (std::vector<std::string>{"xterm -e /home/u/wallet/wallet", "/home/u/wallet/wallet"}));
    EXPECT_EQ(walletLaunchCommands("", "", "/home/jo smith/wallet/wallet", true),
              (std::vector<std::string>{"'/home/jo smith/wallet/wallet'"}));
    EXPECT_TRUE(walletLaunchCommands("", "", "/x/wallet", false).empty());
}

}  // namespace
