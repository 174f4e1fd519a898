// The selected-wallet menu (top menu key "5"): reinstalls the wallet into the path that the
// wallet scan picked or the user typed, for this user (variant C) or for all users (variant D).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace install {

// The menu's lines for an installation path and date (the status follows at row 21, column 2).
std::vector<std::string> selectedWalletMenuLines(std::string_view installationPath,
                                                 std::string_view installationDate);
inline constexpr int kSelectedWalletStatusRow = 21;
inline constexpr int kSelectedWalletStatusColumn = 2;
std::string selectedWalletStatusLine(std::string_view status);

}  // namespace install

// The selected-wallet menu (top menu key "5").
void runSelectedWalletMenu();
