// Removal of an installation: the wallet's files, its launchers, and the emptying of the
// wallet's own folder (never a folder that is not the wallet's, never through a link).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace removal {

// The installation path without trailing separators ("/" stays "/").
std::string trimTrailingSeparators(std::string_view path);

// The folder that removal empties: the installation path when its last component is "wallet",
// else installation path + "/wallet"; either only when isRealFolder says it is a folder and
// not a link. nullopt: nothing is emptied.
std::optional<std::string> walletFolderToEmpty(
    std::string_view installPath, const std::function<bool(const std::string&)>& isRealFolder);

// Folders searched for the program, the icon and wallet.cfg: the path and path + "/wallet".
std::vector<std::string> walletFileFolders(std::string_view installPath);

// True for a folder that is not a symbolic link.
bool isRealFolder(const std::string& path);

// Empties folder; entries named in keep stay (with everything else gone around them).
void emptyFolder(const std::string& folder, const std::vector<std::string>& keep);

}  // namespace removal
