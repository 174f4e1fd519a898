// The advanced menu: the logging toggle, the run log keys and the pages.
#include "help/advanced_menu.h"

#include <fstream>

#include "app/installWalletForLinux.h"
#include "golden.h"
#include "test_support.h"

namespace {

class AdvancedMenuTest : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = dir.path();
    }
    // Presses the keys in order (each after the menu's discard), then "0".
    void press(std::initializer_list<const char*> keys) {
        for (const char* k : keys) {
            fake.keys.push_back(Key{KeyKind::Timeout, ""});
            fake.pressKey(k);
        }
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey("0");
        runAdvancedMenu();
    }
    ScopedTempDir dir;
};

TEST_F(AdvancedMenuTest, LoggingToggleSwitchesTheWordingBackAndForth) {
    EXPECT_EQ(console::menuLines(advancedMenu())[6], " > PRESS 3.. TO TOOGLE LOGGING= DISABLED");
    press({"3"});
    EXPECT_EQ(console::menuLines(advancedMenu())[6], " > PRESS 3.. TO TOOGLE LOGGING= ENABLED");
    press({"3"});
    EXPECT_EQ(S().LOGGINGENABLED, 0);
    S().LOGGINGENABLED = 7;  // anything but 0 becomes 0
    press({"3"});
    EXPECT_EQ(S().LOGGINGENABLED, 0);
    EXPECT_EQ(S().ZXINKEY, "");  // the menu clears the shared key when it leaves
}

TEST_F(AdvancedMenuTest, RunLogKeysReportAMissingLogAndDeleteAPresentOne) {
    press({"4"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "runlog.txt NOT FOUND, Waiting for user input");
    S().APPLICATIONTEXTWALLETCURRENTSTATUS.clear();
    press({"5"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "runlog.txt NOT FOUND, Waiting for user input");
    EXPECT_TRUE(fake.commands.empty());

    writeFileBytes(dir / "runlog.txt", "log\n");
    press({"5"});
    ASSERT_EQ(fake.commands.size(), 1u);
    // gedit or a pager, by the session (the choice itself is tested below).
    EXPECT_TRUE(fake.commands[0].commandLine.ends_with(" " + dir.path() + "/runlog.txt"))
        << fake.commands[0].commandLine;
    press({"4"});
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, "runlog.txt DELETED, Waiting for user input");
    EXPECT_FALSE(std::filesystem::exists(dir / "runlog.txt"));
}

// The page as the end-to-end golden screen shows it, with this test's two terminal names where
// the screen names the machine's one.
TEST_F(AdvancedMenuTest, TechnicalPageShowsBothTerminalNames) {
    S().DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = "xterm";
    S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = "gnome-terminal";
    std::ifstream golden(goldenPath("screens/advanced_information_technical.txt"));
    ASSERT_TRUE(golden.good());
    std::vector<std::string> expected;
    std::vector<std::string> names = {"xterm", "gnome-terminal"};
    for (std::string line; std::getline(golden, line);) {
        const std::size_t at = line.find("<TERMINAL>");
        if (at != std::string::npos && !names.empty()) {
            line.replace(at, std::string("<TERMINAL>").size(), names.front());
            names.erase(names.begin());
        }
        expected.push_back(line);
    }
    while (!expected.empty() && expected.back().empty()) expected.pop_back();
    std::vector<std::string> page = informationPage("9");
    for (auto& line : page) line.erase(line.find_last_not_of(' ') + 1);
    EXPECT_EQ(page, expected);
    for (const char* k : {"6", "7", "8"})
        EXPECT_NE(informationPage(k)[0].find("MAIN MENU-ADVANCED-"), std::string::npos);
    EXPECT_TRUE(informationPage("5").empty());
}

TEST_F(AdvancedMenuTest, HelpPagesOpenFromTheSubmenusAndAnUnlistedKeyRedraws) {
    press({"1", "9", "4", "x", "0"});  // menu help: "9" redraws, "4" opens a page, any key back
    EXPECT_NE(fake.screen.find("  SCANNING MACHINE FOR WALLETS HELP"), std::string::npos);
    EXPECT_NE(fake.screen.find("   and allows the user to select and launch one of the wallets"),
              std::string::npos);
    press({"2", "3", "x", "0"});
    EXPECT_NE(fake.screen.find(" MAIN MENU-ADVANCED-VIEW GENERAL HELP \n"), std::string::npos);
    EXPECT_NE(fake.screen.find("   Press the number keys on your keyboard to choose options"),
              std::string::npos);
}

}  // namespace

namespace {

TEST(RunLogViewer, GeditInAGraphicalSessionElseThePagerOfChoice) {
    const std::string path = "/p/my folder/runlog.txt";
    const std::string q = "'/p/my folder/runlog.txt'";
    auto tools = [](bool graphical, bool gedit, const char* pager, bool sensible, bool less) {
        RunLogTools t;
        t.graphicalSession = graphical;
        t.gedit = gedit;
        t.pagerEnv = pager;
        t.sensiblePager = sensible;
        t.less = less;
        return t;
    };
    const std::vector<std::pair<RunLogTools, std::string>> cases = {
        {tools(true, true, "less -R", true, true), "gedit " + q},
        {tools(true, false, "", true, true), "sensible-pager " + q},
        {tools(false, true, "less -R", true, true), "less -R " + q},
        {tools(false, true, " ", true, true), "sensible-pager " + q},
        {tools(false, false, "", false, true), "less " + q},
        {tools(false, false, "", false, false), "more " + q},
    };
    for (const auto& [t, command] : cases) EXPECT_EQ(runLogViewCommand(path, t), command);
}

}  // namespace
