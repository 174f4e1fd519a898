// The menu loop: the screen comes from the table's lines, a key runs the first entry that has
// it, the key is emptied before the action only where the entry says so, and an entry without
// an action leaves.
#include "console/menu.h"

#include "console/console.h"
#include "test_support.h"

namespace {

class MenuLoop : public WithFakePlatform {};

TEST_F(MenuLoop, DrawsTheListedLinesAndDispatchesEachKeyOnce) {
    std::string key;
    std::vector<std::string> seen;  // "entry:key as the action saw it"
    auto record = [&](const char* name) {
        return [&, name] { seen.push_back(name + (":" + key)); };
    };
    int drawings = 0;
    auto build = [&] {
        ++drawings;
        console::Menu menu;
        menu.statusPlace = console::StatusPlace::NextLine;
        menu.status = "s" + std::to_string(drawings);
        menu.entries = {
            {"", " TITLE"},
            {"1", " > PRESS 1", record("one"), true},
            {"2", std::nullopt, record("two")},
            {"1", " > PRESS 1 AGAIN", record("shadowed"), true},
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

    EXPECT_EQ(seen, (std::vector<std::string>{"one:", "two:2"}));
    EXPECT_EQ(key, "");
    EXPECT_EQ(drawings, 4);
    const std::string first = console::clearSequence() +
                              " TITLE\n > PRESS 1\n > PRESS 1 AGAIN\n > PRESS 0\n" +
                              " APPLICATION STATUS= s1\n";
    EXPECT_EQ(fake.screen.substr(0, first.size()), first);
    EXPECT_NE(fake.screen.find(" APPLICATION STATUS= s4\n"), std::string::npos);
}

}  // namespace
