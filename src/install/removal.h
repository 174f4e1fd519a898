// Removal of an installation: exactly the files and folders that the installation lays out
// below the installation path, and its launchers; never a file the user put there, never
// through a link, never across a mount, never the home folder or a folder above it.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace removal {

// The installation path without trailing separators ("/" stays "/").
std::string trimTrailingSeparators(std::string_view path);

enum class Kind {
    File,         // a file (or a link) of the installation
    Tree,         // a downloaded archive folder: removed with all it holds
    EmptyFolder,  // a folder the installation made: removed only when nothing else is left in it
};

struct Entry {
    std::string path;
    Kind kind;
    bool operator==(const Entry&) const = default;
};

// What the installations of every variant lay out below installPath, in removal order (the
// contents before their folders): in installPath itself (variants B to D) and, when
// installPath/wallet is a real folder, in that folder too (variant A's application folder,
// or the folder a copy went into), which is removed when it is left empty. wallet.cfg only
// withConfig. isRealFolder tells folders that are not links.
std::vector<Entry> installationEntries(std::string_view installPath, bool withConfig,
                                       const std::function<bool(const std::string&)>& isRealFolder);

// True for a folder that is not a symbolic link.
bool isRealFolder(const std::string& path);

// The entries of the list that are present now (files that are not folders, folders that are
// real folders), leaving out the home folder and every folder above it.
std::vector<Entry> presentEntries(const std::vector<Entry>& entries, const std::string& home);

// The confirmation screen of "Delete all files": what will go, at most kShownEntries lines of
// it, each fitted to the screen with control characters shown escaped.
inline constexpr std::size_t kShownEntries = 16;
std::vector<std::string> confirmationLines(const std::vector<Entry>& present);
// A path as shown on screen: control characters as \xNN, cut from the front to fit columns.
std::string shownPath(std::string_view path, std::size_t columns);

}  // namespace removal

// Top menu key "6"; top menu key "7" and installation menu key "7"; installation menu key "9".
void removeLaunchers();
void deleteAllWalletFiles();
void uninstallWallet();
