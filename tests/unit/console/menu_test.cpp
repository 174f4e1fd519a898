// The menu loop: the screen comes from the table's lines, a key runs the first entry that has
// it with the key emptied, a status an action leaves is shown on the next drawing only, and
// an entry without an action leaves.
#include "console/menu.h"

#include "console/console.h"
#include "test_support.h"

namespace {

class MenuLoop : public WithFakePlatform {};

TEST_F(MenuLoop, DrawsTheListedLinesAndDispatchesEachKeyOnce) {
    std::string key;
    std::vector<std::string> seen;  // "entry:key as the action saw it"
    auto record = [&](const char* name, console::Next next) {
        return [&, name, next] {
            seen.push_back(name + (":" + key));
            return next;
        };
    };
    int drawings = 0;
    auto build = [&] {
        ++drawings;
        console::Menu menu;
        menu.statusPlace = console::StatusPlace::NextLine;
        menu.status = "s" + std::to_string(drawings);
        menu.entries = {
            {"", " TITLE"},
            {"1", " > PRESS 1", record("one", console::stayShowing("left by one"))},
            {"2", std::nullopt, record("two", console::stay())},
            {"1", " > PRESS 1 AGAIN", record("shadowed", console::stay())},
            {"3", std::nullopt, record("three", console::leave())},
            {"0", " > PRESS 0"},
        };
        return menu;
    };
    for (const char* k : {"1", "2", "x", "0"}) {
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey(k);
    }
    key = "left over";
    console::runMenu(build, key);

    EXPECT_EQ(seen, (std::vector<std::string>{"one:", "two:"}));
    EXPECT_EQ(key, "");
    EXPECT_EQ(drawings, 4);
    const std::string first = console::clearSequence() +
                              " TITLE\n > PRESS 1\n > PRESS 1 AGAIN\n > PRESS 0\n" +
                              " APPLICATION STATUS= s1\n";
    EXPECT_EQ(fake.screen.substr(0, first.size()), first);
    // The status an action leaves replaces the table's once; then the table's own again.
    const std::size_t left = fake.screen.find(" APPLICATION STATUS= left by one\n");
    EXPECT_NE(left, std::string::npos);
    EXPECT_EQ(fake.screen.find(" APPLICATION STATUS= s2\n"), std::string::npos);
    EXPECT_GT(fake.screen.find(" APPLICATION STATUS= s3\n"), left);
    EXPECT_NE(fake.screen.find(" APPLICATION STATUS= s4\n"), std::string::npos);

    // An action can leave the menu too.
    fake.keys.push_back(Key{KeyKind::Timeout, ""});
    fake.pressKey("3");
    console::runMenu(build, key);
    EXPECT_EQ(seen.back(), "three:");
}

}  // namespace
