// The screen kit: status line, spinner, key wait, prompted input, escape sequences.
#include "console/console.h"

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

class ConsoleTest : public WithFakePlatform {};

TEST_F(ConsoleTest, StatusLineIsPaddedToEightyColumnsButLongerTextsStayAsTheyAre) {
    struct Case {
        std::size_t length;
        int64_t padding;
        std::size_t drawn;
    } cases[] = {{39, 41, 80}, {79, 1, 80}, {80, 0, 80}, {95, -15, 95}, {0, 80, 80}};
    for (const auto& c : cases) {
        S().APPLICATIONTEXTWALLETCURRENTSTATUS = std::string(c.length, 'x');
        console::drawStatusLine();
        EXPECT_EQ(S().TERMINALCONSOLELINEPADDING, c.padding) << c.length;
        EXPECT_EQ(S().TERMINALCONSOLELINE.size(), c.drawn) << c.length;
        EXPECT_EQ(S().TERMINALCONSOLELINE.substr(0, c.length), std::string(c.length, 'x'));
    }
    EXPECT_NE(fake.screen.find("\x1b[22;1H"), std::string::npos);
}

TEST_F(ConsoleTest, SpinnerTurnsThroughItsFramesAndBackToTheFirst) {
    std::string frame;
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        frame = console::nextSpinnerFrame(frame);
        seen.push_back(frame);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"---", " \\ ", " | ", " / ", "---", " \\ "}));
    EXPECT_EQ(console::nextSpinnerFrame("abc"), "abc");
}

TEST_F(ConsoleTest, SpinnerDrawsAtMostOncePerSecondAndPutsTheCursorBack) {
    console::clearScreen();
    console::printLine("one");
    console::printLine("two");  // cursor now at row 3, column 1
    UPDATESPINNER();
    EXPECT_EQ(S().BOOTSPINNER, "---");
    EXPECT_EQ(S().LASTSPINTIME, "08:14:46");
    fake.screen.clear();
    fake.advanceMs(400);
    UPDATESPINNER();  // same second: nothing drawn
    EXPECT_TRUE(fake.screen.empty());
    EXPECT_EQ(S().BOOTSPINNER, "---");
    fake.advanceMs(700);
    UPDATESPINNER();
    EXPECT_EQ(S().BOOTSPINNER, " \\ ");
    EXPECT_EQ(fake.screen, "\x1b[1;78H \\ \n\x1b[3;1H");
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX, 3);
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONY, 1);
}

TEST_F(ConsoleTest, CursorIsAskedFromTheTerminalOnlyAfterACommandWrote) {
    console::clearScreen();
    console::print("abc");
    SAVECONSOLEWINDOWCURSORPOSITION();
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX, 1);
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONY, 4);
    console::invalidateCursor();
    SAVECONSOLEWINDOWCURSORPOSITION();  // the fake terminal answers row 5, column 7
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX, 5);
    EXPECT_EQ(S().SAVEDCONSOLEWINDOWCURSORPOSITIONY, 7);
}

TEST_F(ConsoleTest, MenuKeyWaitDropsKeysTypedBeforeTheMenuAndTurnsTheSpinnerWhileWaiting) {
    fake.pressKey("1");                              // typed ahead: discarded
    fake.keys.push_back(Key{KeyKind::Timeout, ""});  // ends the discard
    fake.keys.push_back(Key{KeyKind::Timeout, ""});  // first look: nothing yet
    fake.keys.push_back(Key{KeyKind::Char, "2"});
    EXPECT_EQ(console::waitMenuKey(), "2");
    EXPECT_EQ(S().BOOTSPINNER, "---");  // drawn once: the clock stayed in one second
}

TEST_F(ConsoleTest, EndOfInputEndsTheProgramInsteadOfSpinning) {
    fake.eofWhenEmpty = true;
    EXPECT_EXIT(console::waitMenuKey(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ConsoleTest, SpecialKeyIsOneKeyThatSelectsNothing) {
    fake.keys.push_back(Key{KeyKind::Timeout, ""});
    fake.keys.push_back(Key{KeyKind::Special, "\x1b[A"});
    EXPECT_EQ(console::waitMenuKey(), "\x1b[A");
}

TEST_F(ConsoleTest, PauseEndsAfterItsTimeOrAtTheFirstKey) {
    console::pauseOrKey(5000);
    EXPECT_EQ(fake.clock.second, 51);  // 08:14:46 + 5 s
    fake.pressKey("q");
    console::pauseOrKey(5000);
    EXPECT_EQ(fake.clock.second, 51);  // the key ended it at once
    EXPECT_TRUE(fake.keys.empty());
}

TEST(InputRule, EndsBeforeTheFirstCommaUnlessQuotedAndKeepsAtMost4095Characters) {
    struct Case {
        const char* typed;
        const char* value;
    } cases[] = {
        {"/home/u/apps", "/home/u/apps"}, {"a,b", "a"}, {"\"a,b\"", "a,b"}, {"\"a,b\",c", "a,b"},
        {" spaced ", " spaced "},         {"", ""},     {",", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(console::applyInputRule(c.typed), c.value) << c.typed;
    EXPECT_EQ(console::applyInputRule(std::string(5000, 'x')).size(), 4095u);
}

TEST_F(ConsoleTest, PromptsEchoOrNotAndPasswordsAreTakenWhole) {
    fake.lines = {"x,y", "p,w \"q\" "};
    EXPECT_EQ(console::promptLine("Path = "), "x");
    EXPECT_EQ(console::promptSecret("PW >>> "), "p,w \"q\" ");
    EXPECT_EQ(fake.lineEchoes, (std::vector<bool>{true, false}));
    EXPECT_NE(fake.screen.find("Path = "), std::string::npos);
}

// Names from the disk reach the screen inside lines: none of their bytes may act on the
// terminal, and ordinary text (UTF-8 included) shows as it is.
TEST_F(ConsoleTest, ControlCharactersInScreenLinesAndTheStatusAreEscaped) {
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = "SELECTED WALLET AT /x\x1b[2J";
    console::drawPage({"   #=1  PATH=/y\x1b]0;t\a"});
    console::drawStatusLine();
    EXPECT_EQ(fake.screen.find("\x1b]"), std::string::npos);
    EXPECT_EQ(fake.screen.find("\x1b[2J", fake.screen.find("#=1")), std::string::npos);
    EXPECT_EQ(S().TERMINALCONSOLELINE.substr(0, 31), "SELECTED WALLET AT /x\\e[2J     ");
}

}  // namespace
