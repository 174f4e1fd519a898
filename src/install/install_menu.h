// The installation menu: its screen (the menu form and the progress form shown during the
// installation that ends the program) and its key loop.
#pragma once

#include <string>
#include <vector>

#include "console/menu.h"

namespace install {

// The menu for the given application path and installation date; the progress form leaves
// out the entries of keys 7 and 9.
console::Menu installationMenu(const std::string& applicationPath,
                               const std::string& installationDate, bool progress);
// Its lines for the shared state's current values.
std::vector<std::string> installationMenuLines(bool progress);

}  // namespace install

// The installation menu (top menu key "1").
void runInstallationMenu();
