// The selected-wallet menu (top menu key "5"): reinstalls the wallet into the path that the
// wallet scan picked or the user typed, for this user (variant C) or for all users (variant D).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/menu.h"

namespace install {

// The menu for an installation path, its date and the status text shown after
// " APPLICATION STATUS= " at row 21, column 2.
console::Menu selectedWalletMenu(std::string_view installationPath,
                                 std::string_view installationDate, std::string_view status);

}  // namespace install

// The selected-wallet menu (top menu key "5").
void runSelectedWalletMenu();
