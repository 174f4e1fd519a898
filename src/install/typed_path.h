// What a path typed at the "target location" prompt of the manual and selected-wallet menus
// becomes: the wallet rule applied, made absolute against the start folder, and refused when
// Linux could not make it a folder with the installation below it.
#pragma once

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace install {

// Bytes kept free below the installation path for what the installation puts there: its own
// longest is 73 (archive/archive/wallet/current/Linux/ and a package's file name); the rest
// is room for other names in the archive.
inline constexpr std::size_t kRoomBelowInstallationPath = 128;
// The longest installation path taken (PATH_MAX counts the terminating zero byte).
inline constexpr std::size_t kLongestInstallationPath = PATH_MAX - 1 - kRoomBelowInstallationPath;
// The longest name of one folder (NAME_MAX).
inline constexpr std::size_t kLongestFolderName = NAME_MAX;

// The path rule of a typed runtime folder: kept when its last six characters are "wallet",
// else "/wallet" is appended (apps -> apps/wallet; an empty answer gives /wallet).
std::string walletPathRule(std::string_view typed);

inline constexpr const char* kTargetLocationPrompt = "Please specify the target location = ";

// The working folder the program was started in (before start-up moves anywhere; start-up
// sets it): typed relative paths are read against it, so they mean the same after a flow
// changes folder.
std::string& startFolder();

struct TypedPath {
    std::optional<std::string> path;  // the installation path, when taken
    std::string refusal;              // why not, as a status text (at most 58 columns)
};

// Applies the wallet rule to typed and reads a relative result against startFolder, so the
// path means the same wherever a flow stands later. Refused (path empty) when the result is
// longer than kLongestInstallationPath, a name in it is longer than kLongestFolderName, it
// holds a zero byte, or it is relative and the start folder is not known.
TypedPath typedInstallationPath(std::string_view typed, std::string_view startFolder);

// The same checks without the wallet rule (the installation menu's path, below which the
// installation makes its own "wallet" folder). An empty path is refused.
TypedPath checkedPath(std::string path, std::string_view startFolder);

// Key "1" of both menus: prompts for the target location; a path taken becomes the
// installation path, a refused one leaves it as it was and says why on the status line.
void askTargetLocation();

}  // namespace install
