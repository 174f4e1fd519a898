// The keys of every menu against the golden list that the manual page is checked against too
// (tests/golden/manual.txt): a key added to a menu, or one taken away, shows here first.
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/menu_driver.h"
#include "help/advanced_menu.h"
#include "install/install_menu.h"
#include "install/manual_menu.h"
#include "install/selected_wallet_menu.h"
#include "test_support.h"

namespace {

using Keys = std::set<std::string>;

// "keys TITLE: K K K" lines of the golden list, by title.
std::map<std::string, Keys> goldenKeys() {
    std::ifstream in(std::string(CORVANE_FIXTURES_DIR) + "/../golden/manual.txt");
    EXPECT_TRUE(in.good()) << "tests/golden/manual.txt";
    std::map<std::string, Keys> out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("keys ", 0) != 0) continue;
        const auto colon = line.find(": ");
        std::istringstream words(line.substr(colon + 2));
        Keys keys;
        for (std::string k; words >> k;) keys.insert(k);
        out[line.substr(5, colon - 5)] = keys;
    }
    return out;
}

Keys keysOf(const console::Menu& menu) {
    Keys keys;
    for (const auto& e : menu.entries) {
        if (!e.key.empty()) keys.insert(e.key);
    }
    return keys;
}

class Documented : public WithFakePlatform {};

TEST_F(Documented, EveryMenuHasTheKeysTheManualLists) {
    const std::map<std::string, Keys> golden = goldenKeys();
    const std::map<std::string, Keys> program = {
        {"Top menu", keysOf(topMenu())},
        {"Installation menu",
         keysOf(install::installationMenu("/home/u/wallet", "unknown", false))},
        {"Manual installation menu (top menu key 2)", keysOf(install::manualMenu("/home/u", ""))},
        {"Selected-wallet menu (top menu key 5)",
         keysOf(install::selectedWalletMenu("/home/u", "unknown", ""))},
        {"Advanced menu (top menu key 8)", keysOf(advancedMenu())},
    };
    EXPECT_EQ(program, golden);
}

}  // namespace
