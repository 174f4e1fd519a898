// Launcher writing: content of both forms, the terminal choice, Exec quoting for paths that the
// desktop-entry format would split, the desktop folder rule, and the copy or move that follows.
#include "install/launchers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "app/installWalletForLinux.h"
#include "host/fatal.h"
#include "host/file_ops.h"
#include "host/platform.h"
#include "host/shell.h"

namespace fs = std::filesystem;

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

// Escapes for a quoted argument of Exec: ", `, $ and \ take a backslash.
std::string execQuote(std::string_view arg) {
    std::string q = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') q += '\\';
        q += c;
    }
    q += '"';
    return q;
}

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

std::string formAContent(const std::optional<TerminalChoice>& t, std::string_view appFolder) {
    const std::string ap(appFolder);
    std::string c = " \n[Desktop Entry]\nType=Application\nTerminal=true\n";
    c += "Icon[en_US]=" + ap + "/wallet.ico\n";
    c += std::string("Name[en_US]=") + kWalletName + "\n";
    if (t) {
        c += "Exec=" + t->terminal + " --title=\"" + kWalletName + "\"" + t->option +
             execProgramArgument(ap + "/wallet", t->option) + "\n";
        c += "Path=" + ap + "\n";
    } else {
        c += "Path=" + ap + "\n";
        c += "Exec=" + execProgramArgument(ap + "/wallet", "") + "\n";
    }
    c += std::string("Name=") + kWalletName + "\n";
    c += "Icon=" + ap + "/wallet.ico\n";
    c += "Categories=Network\n";
    return c;
}

std::string formBContent(const std::optional<TerminalChoice>& t, std::string_view installPath,
                         std::string_view home) {
    const std::string ip(installPath);
    const std::string program = std::string(home) + "/wallet/wallet";
    std::string c = " \n[Desktop Entry]\nType=Application\nTerminal=true\n";
    c += "Icon[en_US]=" + ip + "/wallet.ico\n";
    c += std::string("Name[en_US]=") + kWalletName + "\n";
    if (t) {
        c += "Exec=" + t->terminal + t->option + execProgramArgument(program, t->option) + "\n";
    } else {
        c += "Exec=" + execProgramArgument(program, "") + "\n";
    }
    c += std::string("Name=") + kWalletName + "\n";
    c += "Icon=" + ip + "/wallet.ico\n";
    c += "Categories=Network\n";
    return c;
}

std::optional<std::string> parseXdgDesktopDir(std::string_view userDirs, std::string_view home) {
    std::istringstream in{std::string(userDirs)};
    std::string line;
    while (std::getline(in, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        std::string_view l = std::string_view(line).substr(start);
        constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
        if (l.substr(0, kKey.size()) != kKey) continue;
        std::string_view v = l.substr(kKey.size());
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) {
            v.remove_suffix(1);
        }
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
    const std::string plain = home + "/Desktop";
    if (isFolder(plain)) return plain;
    std::ifstream in(home + "/.config/user-dirs.dirs", std::ios::binary);
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        if (auto xdg = parseXdgDesktopDir(text.str(), home); xdg && isFolder(*xdg)) {
            return *xdg;
        }
    }
    return plain;
}

std::string ensureDesktopFolder(const std::string& home) {
    std::string folder = desktopFolder(home);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) fs::create_directories(folder, ec);
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
        p.quotedChmod = false;
        p.after = After::MoveToAllUsers;
        p.quotedMove = false;
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
    p.quotedMove = true;
    return p;
}

std::string chmodCommand(const std::string& file, bool quoted) {
    if (quoted) return "chmod a+x \"" + doubleQuoteEscape(file) + "\"";
    return "chmod a+x " + shellQuote(file);
}

std::string copyCommand(const std::string& from, const std::string& to) {
    return "cp \"" + doubleQuoteEscape(from) + "\" \"" + doubleQuoteEscape(to) + "\"";
}

std::string moveCommand(const std::string& from, const std::string& to, bool quoted) {
    if (quoted) return "mv \"" + doubleQuoteEscape(from) + "\" \"" + doubleQuoteEscape(to) + "\"";
    return "mv " + shellQuote(from) + " " + shellQuote(to);
}

std::string writeLauncher(const Placement& p) {
    SharedState& s = S();
    const std::string home = s.CURRENTUSERHOMEPATH;
    const std::string remembered = currentFolder();

    if (!isFolder(p.folder)) {
        std::error_code ec;
        fs::create_directories(p.folder, ec);
    }
    enterFolder(p.folder);
    const std::string file = p.folder + "/" + p.fileName;
    std::error_code ec;
    fs::remove(file, ec);

    const std::string content =
        p.form == Form::A
            ? formAContent(terminalForFormA(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                            s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME),
                           s.APPLICATIONTEXTWALLETAPPLICATIONPATH)
            : formBContent(terminalForFormB(s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME,
                                            s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME),
                           s.APPLICATIONTEXTWALLETINSTALLATIONPATH, home);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) fatalFileError(file, "cannot create the launcher");
    const bool written = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    if (std::fclose(f) != 0 || !written) fatalFileError(file, "cannot write the launcher");

    platform().sleepMs(1000);  // lets a desktop that watches the folder pick the file up first
    if (fs::exists(fs::symlink_status(file, ec))) runElevated(chmodCommand(file, p.quotedChmod));

    if (!s.SUDOPASSWORD.empty()) {
        if (p.after == After::CopyToUserMenu) {
            const std::string menu = userMenuFolder(home);
            if (p.createUserMenuFolder && !isFolder(menu)) {
                const std::string savedFilePath = s.FILEPATH;
                s.FILEPATH = menu;
                CREATEALLDIRECTORIESNOTPRESENTINPATH();
                s.FILEPATH = savedFilePath;
                enterFolder(p.folder);
            }
            runElevated(copyCommand(file, menu + "/" + p.fileName));
        } else if (p.after == After::MoveToAllUsers) {
            runElevated(moveCommand(file,
                                    std::string(kAllUsersMenuFolder) + "/" + kAllUsersLauncherName,
                                    p.quotedMove));
        }
    }
    if (p.restoreWorkingDirectory) enterFolder(remembered);
    return file;
}

std::string successMessage(std::string_view folder) {
    return "SUCCESS, wallet.desktop CREATED IN " + std::string(folder) + "      ";
}

std::string iconMissingMessage(std::string_view folderWithSlash) {
    return "SORRY, wallet.ico IS NOT PRESENT IN " + std::string(folderWithSlash);
}

}  // namespace launchers
