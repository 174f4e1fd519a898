// Launcher writing: content of both forms, the terminal choice, Exec quoting for paths that the
// desktop-entry format would split, the desktop folder rule, and the copy or move that follows.
#include "install/launchers.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "core/shared_state.h"
#include "core/text.h"
#include "host/fatal.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/regular_file.h"
#include "host/shell.h"
#include "host/shell_quote.h"
#include "host/whole_file.h"
#include "install/desktop_trust.h"

namespace launchers {

namespace {

constexpr const char* kWalletName = "Corvane Wallet";

std::optional<TerminalChoice> formAMatch(std::string_view name) {
    if (name == "mate-terminal") return TerminalChoice{std::string(name), " -x "};
    if (name == "gnome-terminal" || name == "xfce4-terminal") {
        return TerminalChoice{std::string(name), " -e "};
    }
    return std::nullopt;
}

// A quoted argument of Exec: ", `, $ and \ take a backslash, the very rule of the shell's
// double quotes (desktop entries borrowed it).
std::string execQuote(std::string_view arg) { return "\"" + doubleQuoteEscape(arg) + "\""; }

// The string-value escapes of a desktop entry (applied after the Exec quoting) and the doubling
// of % that keeps a path from reading as a field code.
std::string escapeExecValue(std::string_view v) {
    std::string out;
    for (char c : v) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '%':
                out += "%%";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::optional<TerminalChoice> terminalForFormA(std::string_view current,
                                               std::string_view fallback) {
    if (auto t = formAMatch(current)) return t;
    return formAMatch(fallback);
}

std::optional<TerminalChoice> terminalForFormB(std::string_view current,
                                               std::string_view fallback) {
    std::string_view name = !current.empty() ? current : fallback;
    if (name.empty()) return std::nullopt;
    return TerminalChoice{std::string(name), name == "mate-terminal" ? " -x " : " -e "};
}

bool needsExecQuoting(std::string_view path) {
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`%\r";
    return path.find_first_of(kReserved) != std::string_view::npos;
}

std::string execProgramArgument(std::string_view path, std::string_view option) {
    if (!needsExecQuoting(path)) return std::string(path);
    if (option == " -e ") return escapeExecValue(execQuote(shellSingleQuote(path)));
    return escapeExecValue(execQuote(path));
}

std::string formAContent(const std::optional<TerminalChoice>& t, std::string_view appFolder,
                         std::string_view program, std::string_view icon) {
    const std::string ap(appFolder);
    const std::string ico(icon);
    std::string c = " \n[Desktop Entry]\nType=Application\nTerminal=true\n";
    c += "Icon[en_US]=" + ico + "\n";
    c += std::string("Name[en_US]=") + kWalletName + "\n";
    if (t) {
        c += "Exec=" + t->terminal + " --title=\"" + kWalletName + "\"" + t->option +
             execProgramArgument(program, t->option) + "\n";
        c += "Path=" + ap + "\n";
    } else {
        c += "Path=" + ap + "\n";
        c += "Exec=" + execProgramArgument(program, "") + "\n";
    }
    c += std::string("Name=") + kWalletName + "\n";
    c += "Icon=" + ico + "\n";
    c += "Categories=Network\n";
    return c;
}

std::string formBContent(const std::optional<TerminalChoice>& t, std::string_view program,
                         std::string_view icon) {
    const std::string ico(icon);
    std::string c = " \n[Desktop Entry]\nType=Application\nTerminal=true\n";
    c += "Icon[en_US]=" + ico + "\n";
    c += std::string("Name[en_US]=") + kWalletName + "\n";
    if (t) {
        c += "Exec=" + t->terminal + t->option + execProgramArgument(program, t->option) + "\n";
    } else {
        c += "Exec=" + execProgramArgument(program, "") + "\n";
    }
    c += std::string("Name=") + kWalletName + "\n";
    c += "Icon=" + ico + "\n";
    c += "Categories=Network\n";
    return c;
}

std::optional<std::string> parseXdgDesktopDir(std::string_view userDirs, std::string_view home) {
    for (const std::string_view line : splitLines(userDirs)) {
        const std::string_view l = trimStart(line, " \t");
        if (l.empty() || l.front() == '#') continue;
        constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
        if (l.substr(0, kKey.size()) != kKey) continue;
        std::string_view v = trimEnd(l.substr(kKey.size()), " \t\r");
        if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::nullopt;
        v = v.substr(1, v.size() - 2);
        std::string value;
        constexpr std::string_view kHome = "$HOME";
        if (v.substr(0, kHome.size()) == kHome) {
            value = std::string(home) + std::string(v.substr(kHome.size()));
        } else if (!v.empty() && v.front() == '/') {
            value = std::string(v);
        } else {
            return std::nullopt;  // the format allows only $HOME-relative or absolute paths
        }
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            unescaped += value[i];
        }
        return unescaped;
    }
    return std::nullopt;
}

std::string desktopFolder(const std::string& home) {
    std::string plain = home + "/Desktop";
    if (isFolder(plain)) return plain;
    // The user's settings file may be a link (kept with the user's other settings).
    if (auto text = host::readRegularFile(home + "/.config/user-dirs.dirs", host::Links::Follow)) {
        if (auto xdg = parseXdgDesktopDir(*text, home); xdg && isFolder(*xdg)) return *xdg;
    }
    return plain;
}

std::string ensureDesktopFolder(const std::string& home) {
    std::string folder = desktopFolder(home);
    if (!isFolder(folder)) makeFolderPath(folder);
    return folder;
}

std::string userMenuFolder(const std::string& home) { return home + "/.local/share/applications"; }

Placement automaticPlacement(char variant, const std::string& home) {
    Placement p;
    p.folder = desktopFolder(home);
    p.fileName = kUserLauncherName;
    p.form = variant == 'A' ? Form::A : Form::B;
    if (variant == 'D') {
        p.fileName = kShortLauncherName;
        p.after = After::MoveToAllUsers;
    } else {
        p.after = After::CopyToUserMenu;
        p.createUserMenuFolder = true;
    }
    p.restoreWorkingDirectory = variant != 'A';
    return p;
}

Placement manualDesktopPlacement(const std::string& home) {
    Placement p;
    p.folder = desktopFolder(home);
    p.fileName = kUserLauncherName;
    return p;
}

Placement manualUserMenuPlacement(const std::string& home) {
    Placement p;
    p.folder = userMenuFolder(home);
    p.fileName = kShortLauncherName;
    return p;
}

Placement manualAllUsersPlacement(const std::string& home) {
    Placement p;
    p.folder = desktopFolder(home);
    p.fileName = kShortLauncherName;
    p.after = After::MoveToAllUsers;
    return p;
}

std::string allUsersInstallCommand(const std::string& privateCopy, const std::string& target) {
    return "install -o root -g root -m 0644 -- " + shellQuote(privateCopy) + " " +
           shellQuote(target);
}

bool writeOwnFile(const std::string& file, const std::string& content, unsigned mode) {
    return replaceFile(file, content, WriteRule{FileMode::Private, mode, true}) == 0;
}

namespace {

// Root copies the launcher for all users from a private folder that only this user can
// change, so nothing another user swaps in is read or written with root's rights. The
// desktop launcher goes once the copy is in place (the launcher moves to the menu).
void installForAllUsers(const std::string& desktopLauncher, const std::string& content) {
    const std::string folder = makeTemporaryFolder("corvane-launcher-");
    if (folder.empty()) return;
    const std::string copy = folder + "/launcher.desktop";
    if (writeOwnFile(copy, content, 0644)) {
        const std::string target = std::string(kAllUsersMenuFolder) + "/" + kAllUsersLauncherName;
        if (runElevated(allUsersInstallCommand(copy, target)) == 0) {
            unlink(desktopLauncher.c_str());
        }
        unlink(copy.c_str());
    }
    rmdir(folder.c_str());
}

}  // namespace

std::string writeLauncher(const Placement& p) {
    const std::string remembered = currentFolder();
    if (!isFolder(p.folder)) makeFolderPath(p.folder);
    // The documented walk stands in the target folder while it writes, and variant A stays
    // there; the writing itself goes by full paths.
    enterFolder(p.folder);
    std::string file = writeLauncherIn(p);
    if (p.restoreWorkingDirectory) enterFolder(remembered);
    return file;
}

std::string writeLauncherIn(const Placement& p) {
    SharedState& s = S();
    const std::string home = s.CURRENTUSERHOMEPATH;
    if (!isFolder(p.folder)) makeFolderPath(p.folder);
    std::string file = p.folder + "/" + p.fileName;
    const std::string content =
        p.form == Form::A
            ? formAContent(terminalForFormA(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                            s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME),
                           s.APPLICATIONTEXTWALLETAPPLICATIONPATH, p.program, p.icon)
            : formBContent(terminalForFormB(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                            s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME),
                           p.program, p.icon);
    // Written executable at once: nothing is left to change on the path afterwards.
    if (!writeOwnFile(file, content, 0755)) fatalFileError(file, "cannot create the launcher");
    platform().sleepMs(1000);  // lets a desktop that watches the folder pick the file up first

    if (!s.SUDOPASSWORD.empty()) {
        if (p.after == After::CopyToUserMenu) {
            const std::string menu = userMenuFolder(home);
            if (p.createUserMenuFolder && !isFolder(menu)) {
                createMissingFolders(menu);
            }
            writeOwnFile(menu + "/" + p.fileName, content, 0755);
        } else if (p.after == After::MoveToAllUsers) {
            installForAllUsers(file, content);
        }
    }
    // Desktops ask before they start a launcher the user did not make (see desktop_trust.h).
    if (p.folder == desktopFolder(home) && isRegularFile(file)) desktop_trust::markTrusted(file);
    return file;
}
std::string successMessage(std::string_view folder) {
    return "SUCCESS, wallet.desktop CREATED IN " + std::string(folder) + "      ";
}

std::string iconMissingMessage(std::string_view folderWithSlash) {
    return "SORRY, wallet.ico IS NOT PRESENT IN " + std::string(folderWithSlash);
}

}  // namespace launchers
