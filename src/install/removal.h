// Removal of an installation: what its receipt lists as laid, while it is unchanged (an
// installation without a receipt: the names it lays out), and its launchers; never a file the
// user put there or changed, never through a link, never across a mount, never the home folder
// or a folder above it, and root is never asked to remove anything in a folder that someone
// other than root and the user can change.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace removal {

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

// A file the removal leaves where it is, and why.
struct Kept {
    std::string path;
    std::string why;  // "changed since installed", "not laid by the installer", ...
    bool operator==(const Kept&) const = default;
};
// The question screen with what stays listed below what goes (the two share the lines above
// the status line; each list is cut with "... and N more").
std::vector<std::string> confirmationLines(const std::vector<Entry>& present,
                                           const std::vector<Kept>& kept);

// A removal without the question (the command line's uninstall: the command is the consent):
// what goes (or would go, with dryRun, which changes nothing), what stays and why, and the
// status of a removal that stopped (empty when it went through).
struct Report {
    std::vector<Entry> going;
    std::vector<Kept> kept;
    std::string stopped;
};
Report removeInstallation(const std::string& installPath, const std::string& home, bool keepRecord,
                          bool dryRun);

// Whether a launcher's text starts program: its Exec line ends with the program as the
// launcher writer puts it there (after a terminal's option, or alone).
bool launcherStarts(std::string_view launcherText, std::string_view program);

}  // namespace removal

// Top menu key "6"; top menu key "7" and installation menu key "7"; installation menu key "9".
// With the user's own receipt in the installation path (or its wallet folder) they take what
// it lists while unchanged (key 6: its launchers; key 9: all but wallet.cfg), then remove the
// receipt or rewrite it to list what stays laid; without one, the names every variant lays
// out, except a wget nothing says was laid. A launcher left starting a program of the
// installation that is gone goes too. Delete all files asks first, listing what goes and what
// is kept. A removal that meets a link someone put in since, or would need root inside a folder
// someone other than root and the user can change, stops; it then shows what was kept, with the
// status naming the link or the folder (as it does when it kept more than it showed before).
void removeLaunchers();
void deleteAllWalletFiles();
void uninstallWallet();
