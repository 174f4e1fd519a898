// The one menu of the console kit: a table of entries, each a screen line and/or a key with
// its action, and one loop that draws the table, waits for a key and dispatches it. The
// screen and the dispatch come from the same rows, so they cannot drift apart.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace console {

// One row of a menu table.
struct MenuEntry {
    MenuEntry(std::string key, std::optional<std::string> line, std::function<void()> action = {},
              bool clearsKey = false)
        : key(std::move(key)),
          line(std::move(line)),
          action(std::move(action)),
          clearsKey(clearsKey) {}

    std::string key;                  // the key that selects it; empty: a line only
    std::optional<std::string> line;  // its screen line; none: a key the screen does not list
    std::function<void()> action;     // what the key does; none: the key leaves the menu
    bool clearsKey;                   // the key variable is emptied before the action runs
};

// Where a menu shows its status text.
enum class StatusPlace {
    Row22,         // the padded status line on row 22 (the screen kit's frame)
    NextLine,      // " APPLICATION STATUS= " + text as the line after the last one
    OpenLastLine,  // the same, with no line break after it (a long status must not scroll)
    Row21Column2,  // " APPLICATION STATUS= " + text at row 21, column 2
};

struct Menu {
    std::vector<MenuEntry> entries;
    StatusPlace statusPlace = StatusPlace::Row22;
    // Row22: the status line's whole text (it becomes the current status); otherwise the
    // text after " APPLICATION STATUS= ".
    std::string status;
};

// The screen lines of a menu, top-down (the status not included).
std::vector<std::string> menuLines(const Menu& menu);

// Draws the menu.
void drawMenuScreen(const Menu& menu);

// One pass: draws the menu, waits for a key (stored in key), and runs the first entry with
// that key. A key no entry has selects nothing. Returns false when the entry leaves the menu
// (the key is then emptied).
bool runMenuPass(const Menu& menu, std::string& key);

// Runs a menu until a key leaves it. The table is built anew for every drawing, so that the
// lines show the current values.
void runMenu(const std::function<Menu()>& build, std::string& key);

}  // namespace console
