// The one menu of the console kit: a table of entries, each a screen line and/or a key with
// its action, and one loop that draws the table, waits for a key and dispatches it. The
// screen and the dispatch come from the same rows, so they cannot drift apart.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/console.h"

namespace console {

// A status text that a menu draws itself (every place but the status line) stands after a
// blank and the status label: the columns before the text.
inline constexpr std::size_t kMenuStatusLabelWidth = 1 + std::string_view(kStatusLabel).size();

// What a menu does once an entry's action is over: it is drawn again or it is left, and the
// next drawing shows the status the action leaves (once; none: the menu's own status).
struct Next {
    bool leaves = false;
    std::optional<std::string> status;
};

// The menu is drawn again with its own status.
inline Next stay() { return {}; }
// The menu is drawn again, showing status this once (for a Row22 menu its whole text).
inline Next stayShowing(std::string status) { return {false, std::move(status)}; }
// The menu ends.
inline Next leave() { return {true, std::nullopt}; }

using Action = std::function<Next()>;

// An action that always stays: for operations that leave nothing for the menu to show.
template <typename F>
Action staying(F operation) {
    return [operation = std::move(operation)]() mutable {
        operation();
        return stay();
    };
}

// One row of a menu table.
struct MenuEntry {
    MenuEntry(std::string key, std::optional<std::string> line, Action action = {})
        : key(std::move(key)), line(std::move(line)), action(std::move(action)) {}

    std::string key;                  // the key that selects it; empty: a line only
    std::optional<std::string> line;  // its screen line; none: a key the screen does not list
    Action action;                    // what the key does; none: the key leaves the menu
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
// that key, with the key emptied first (the submenus an action opens read theirs into the
// same variable; whatever they leave there, nothing else of this menu runs). A key no entry
// has selects nothing and stays in key. Returns what the entry's action says comes next.
Next runMenuPass(const Menu& menu, std::string& key);

// Runs a menu until a key leaves it. The table is built anew for every drawing, so that the
// lines show the current values; a status an action leaves replaces the table's on the next
// drawing.
void runMenu(const std::function<Menu()>& build, std::string& key);

}  // namespace console
