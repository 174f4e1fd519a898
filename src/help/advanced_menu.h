// The advanced menu, its two help submenus, the help and information pages and the run log.
#pragma once

#include <string>
#include <vector>

#include "console/menu.h"

// The advanced menu's table (its lines show the logging switch as it stands).
console::Menu advancedMenu();
// Lines of an information page ("6" to "9"), or empty for another key.
std::vector<std::string> informationPage(const std::string& key);
// The command that shows the run log at path: "gedit " + path in a graphical session where
// gedit is installed; otherwise the user's pager in this terminal: pagerEnv (the value of
// PAGER, taken as shell words) when not empty, else sensible-pager, else less, else more.
struct RunLogTools {
    bool graphicalSession = false;  // DISPLAY or WAYLAND_DISPLAY set
    bool gedit = false;             // gedit found on PATH
    std::string pagerEnv;
    bool sensiblePager = false;
    bool less = false;
};
std::string runLogViewCommand(const std::string& path, const RunLogTools& tools);
// Clears the run log (key "4"): deletes it with a bounded retry; sets the status text.
void clearRunLog();

// The advanced menu (top menu key "8").
void runAdvancedMenu();
