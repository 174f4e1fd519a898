// The selected-wallet menu (top menu key "5"): reinstalls the wallet into the path that the
// wallet scan picked or the user typed, for this user (variant C) or for all users (variant D).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/menu.h"

namespace install {

// The path rule of a typed runtime folder: kept when its last six characters are "wallet",
// else "/wallet" is appended (apps -> apps/wallet; an empty answer gives /wallet).
std::string walletPathRule(std::string_view typed);

inline constexpr const char* kTargetLocationPrompt = "Please specify the target location = ";

// The menu for an installation path, its date and the status text shown after
// " APPLICATION STATUS= " at row 21, column 2.
console::Menu selectedWalletMenu(std::string_view installationPath,
                                 std::string_view installationDate, std::string_view status);

}  // namespace install
