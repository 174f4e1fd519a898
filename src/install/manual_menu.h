// The manual installation menu (top menu key "2"): the steps of an installation one at a
// time, on the installation path, in any order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/menu.h"

namespace install {

// The menu for an installation path and a status text (shown after " APPLICATION STATUS= "
// on the last line).
console::Menu manualMenu(std::string_view installationPath, std::string_view status);

// The archive folder of the options: the driver's folder, or ip/archive before option 2 or 5
// set one.
std::string manualArchiveFolder(std::string_view driverArchiveFolder, std::string_view ip);

}  // namespace install

// The manual installation menu (top menu key "2").
void runManualInstallationMenu();
