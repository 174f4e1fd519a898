// Desktop and application-menu launchers of the wallet: the two content forms, the terminal
// choice, the quoting of Exec, the desktop folder rule, and every placement of a launcher.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace launchers {

inline constexpr const char* kUserLauncherName = "Corvane wallet.desktop";
inline constexpr const char* kShortLauncherName = "wallet.desktop";
// The one name the launcher for all users carries (every writer, and the removal).
inline constexpr const char* kAllUsersLauncherName = "Corvane wallet.desktop";
inline constexpr const char* kAllUsersMenuFolder = "/usr/share/applications";

enum class Form { A, B };

// A terminal emulator and the option that hands it the program ("" terminal: none).
struct TerminalChoice {
    std::string terminal;
    std::string option;  // " -x " or " -e "
};

// Form A: mate-terminal " -x ", gnome-terminal/xfce4-terminal " -e ", tested on the current
// emulator, then on the default one; anything else gives no terminal part.
std::optional<TerminalChoice> terminalForFormA(std::string_view current, std::string_view fallback);
// Form B: the current emulator, else the default one; " -x " for mate-terminal, else " -e ".
std::optional<TerminalChoice> terminalForFormB(std::string_view current, std::string_view fallback);

// True when the path holds a blank or another character that the desktop-entry format reserves
// in Exec; such a path must be quoted there.
bool needsExecQuoting(std::string_view path);
// The program path as it stands in Exec after the given option (" -x ", " -e ", or "" for no
// terminal): plain paths unchanged; others "..." (or "'...'" after " -e ", whose argument the
// terminal splits again like a shell), escaped for the desktop-entry format.
std::string execProgramArgument(std::string_view path, std::string_view option);

// Launcher contents, byte for byte: first byte a blank, then a line feed; every line ends with
// a line feed. Exec starts program and Icon names icon: the files that the installation put
// in place. Form A also names the application folder in its Path line.
std::string formAContent(const std::optional<TerminalChoice>& t, std::string_view appFolder,
                         std::string_view program, std::string_view icon);
std::string formBContent(const std::optional<TerminalChoice>& t, std::string_view program,
                         std::string_view icon);

// The value of XDG_DESKTOP_DIR in a user-dirs.dirs text, with $HOME expanded; nullopt when absent.
std::optional<std::string> parseXdgDesktopDir(std::string_view userDirs, std::string_view home);
// The user's desktop folder: home/Desktop when it exists, else the XDG desktop folder when it
// exists, else home/Desktop (which ensureDesktopFolder creates).
std::string desktopFolder(const std::string& home);
std::string ensureDesktopFolder(const std::string& home);
// home/.local/share/applications
std::string userMenuFolder(const std::string& home);

// What follows the writing of a launcher.
enum class After { Nothing, CopyToUserMenu, MoveToAllUsers };

struct Placement {
    std::string folder;    // folder written into
    std::string fileName;  // launcher file name
    std::string program;   // what Exec starts
    std::string icon;      // what Icon names
    Form form = Form::B;
    After after = After::Nothing;
    bool createUserMenuFolder = false;  // create the user's menu folder before the copy
    bool restoreWorkingDirectory = true;
};

// Placements of the automatic installation (variants A, B/C and D) and of the manual menu;
// the caller fills in program and icon.
Placement automaticPlacement(char variant, const std::string& home);
Placement manualDesktopPlacement(const std::string& home);   // option 4
Placement manualUserMenuPlacement(const std::string& home);  // option 5
Placement manualAllUsersPlacement(const std::string& home);  // option 6

// The elevated command that puts the launcher for all users in place from a private copy:
// owned by root, mode 0644 (without the sudo prefix that the elevated runner adds).
std::string allUsersInstallCommand(const std::string& privateCopy, const std::string& target);

// Creates file anew with content and mode, as the user, through the one writer: an entry
// already there (a link included) is replaced and never followed; the bytes go to a new
// exclusive file beside it that gets the mode and then takes its place. False when it cannot
// be created.
bool writeOwnFile(const std::string& file, const std::string& content, unsigned mode);

// Writes a launcher per the placement, for the shared state's terminal emulators and
// password; returns its full path. Files in the user's folders are written by the program
// itself, executable; only the launcher for all users goes through sudo. A file that cannot
// be created is a fatal file error. The current folder does not change.
std::string writeLauncherIn(const Placement& p);
// The same, walked as documented: the current folder is the placement's folder while it
// writes, and stays there unless restoreWorkingDirectory (variant A stays on the desktop).
std::string writeLauncher(const Placement& p);

// Messages of the manual installation menu.
std::string successMessage(std::string_view folder);
std::string iconMissingMessage(std::string_view folderWithSlash);

}  // namespace launchers
