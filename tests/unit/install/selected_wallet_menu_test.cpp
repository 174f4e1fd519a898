// The selected-wallet menu: the path rule of key "1", its screen with the status at row 21,
// column 2, and the scan's status shown again while the path is the scan's.
#include "install/selected_wallet_menu.h"

#include "app/installWalletForLinux.h"
#include "install/typed_path.h"
#include "test_support.h"

namespace {

// The menus discard keys typed ahead: a quiet moment before each key lets it through.
void menuKey(FakePlatform& fake, const char* key) {
    fake.keys.push_back(Key{KeyKind::Timeout, ""});
    fake.pressKey(key);
}

TEST(WalletPathRule, AppendsWalletUnlessTheLastSixCharactersAreWallet) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/apps", "/home/u/apps/wallet"},
        {"/home/u/wallet", "/home/u/wallet"},
        {"/home/u/mywallet", "/home/u/mywallet"},
        {"", "/wallet"},
        {"wallet", "wallet"},
        {"/media/user/My Disk", "/media/user/My Disk/wallet"},
    };
    for (const auto& [typed, want] : cases)
        EXPECT_EQ(install::walletPathRule(typed), want) << typed;
}

class SelectedWalletMenu : public WithFakePlatform {};

TEST_F(SelectedWalletMenu, ShowsPathDateAndStatusAtRow21Column2) {
    S().APPLICATIONTEXTWALLETINSTALLATIONPATH = "/media/disk/wallet";
    S().APPLICATIONTEXTWALLETINSTALLATIONDATE = "unknown";
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = "last action";
    menuKey(fake, "0");
    runSelectedWalletMenu();
    const std::string want = console::clearSequence() +
                             " \n"
                             " \n"
                             " CURRENT PATH= /media/disk/wallet\n"
                             " \n"
                             " INSTALLATION DATE= unknown\n"
                             " \n"
                             " \n"
                             " > PRESS 1.. TO CHANGE CURRENT PATH OF RUNTIME FOLDER\n"
                             " \n"
                             " > PRESS 2.. TO FULLY INSTALL THE CORVANE WALLET FOR THIS USER\n"
                             " \n"
                             " > PRESS 3.. TO FULLY INSTALL THE CORVANE WALLET FOR ALL USERS\n"
                             " \n"
                             " > PRESS 0.. TO GO BACK\n"
                             " \n"
                             " \n" +
                             console::moveSequence(21, 2) + " APPLICATION STATUS= last action";
    EXPECT_NE(fake.screen.find(want), std::string::npos) << fake.screen;
    EXPECT_EQ(S().ZXINKEY, "");
}

TEST_F(SelectedWalletMenu, KeyOneAppliesThePathRuleAndOtherKeysRedraw) {
    menuKey(fake, "1");
    fake.lines.push_back("/srv/apps");
    menuKey(fake, "x");
    menuKey(fake, "0");
    runSelectedWalletMenu();
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, "/srv/apps/wallet");
    EXPECT_NE(fake.screen.find("Please specify the target location = "), std::string::npos);
    std::size_t drawings = 0;
    for (auto at = fake.screen.find(" > PRESS 0.. TO GO BACK"); at != std::string::npos;
         at = fake.screen.find(" > PRESS 0.. TO GO BACK", at + 1))
        ++drawings;
    EXPECT_EQ(drawings, 3u);
    EXPECT_TRUE(fake.commands.empty());
}

TEST_F(SelectedWalletMenu, ShowsTheScanStatusOnlyWhileThePathIsTheScans) {
    auto& s = S();
    storage::lastScan().installationPath = "/m/a/wallet";
    storage::lastScan().status = "SELECTED WALLET AT /m/a/wallet";
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = "APPLICATION STATUS= Awaiting user input";
    s.APPLICATIONTEXTWALLETINSTALLATIONPATH = "/m/a/wallet";
    menuKey(fake, "0");
    runSelectedWalletMenu();
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTSTATUS, "SELECTED WALLET AT /m/a/wallet");

    s.APPLICATIONTEXTWALLETCURRENTSTATUS = "APPLICATION STATUS= Awaiting user input";
    s.APPLICATIONTEXTWALLETINSTALLATIONPATH = "/typed/wallet";
    menuKey(fake, "0");
    runSelectedWalletMenu();
    EXPECT_EQ(s.APPLICATIONTEXTWALLETCURRENTSTATUS, "APPLICATION STATUS= Awaiting user input");
}

}  // namespace
