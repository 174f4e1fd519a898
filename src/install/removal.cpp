// Delete all files, uninstall and remove launchers: the installation menu's keys 7 and 9 and
// the top menu's unlisted keys 6 and 7.
#include "install/removal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "console/console.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "install/launchers.h"

namespace fs = std::filesystem;

namespace removal {

namespace {

std::string join(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

// The layout of one folder of the installation (the program itself is added by the caller).
void addFolderLayout(const std::string& f, bool withConfig, std::vector<Entry>& out) {
    out.push_back({join(f, "wallet.ico"), Kind::File});
    if (withConfig) out.push_back({join(f, "wallet.cfg"), Kind::File});
    out.push_back({join(f, "wget"), Kind::File});
    const std::string control = join(f, "control");
    const std::string tellerData = control + "/applications/wallet/tellerData";
    out.push_back({tellerData + "/tellers", Kind::File});
    for (const std::string& d :
         {tellerData, control + "/applications/wallet", control + "/applications", control}) {
        out.push_back({d, Kind::EmptyFolder});
    }
    // The archive: the folder download's "current" and the archive refresh's
    // archive/wallet/current, below the archive folder (or below the application folder).
    const std::string archive = join(f, "archive");
    out.push_back({archive + "/current", Kind::Tree});
    out.push_back({archive + "/archive/wallet/current", Kind::Tree});
    out.push_back({archive + "/wallet/current", Kind::Tree});
    for (const std::string& d :
         {archive + "/archive/wallet", archive + "/archive", archive + "/wallet", archive}) {
        out.push_back({d, Kind::EmptyFolder});
    }
}

std::string realPathOf(const std::string& path) {
    char* r = realpath(path.c_str(), nullptr);
    if (r == nullptr) return "";
    std::string out = r;
    free(r);
    return out;
}

// path is home or a folder above it.
bool holdsHome(const std::string& path, const std::string& realHome) {
    const std::string real = realPathOf(path);
    if (real.empty() || realHome.empty()) return false;
    if (real == realHome || real == "/") return true;
    return realHome.compare(0, real.size() + 1, real + "/") == 0;
}

bool presentNow(const Entry& e) {
    const auto st = host::statPath(e.path, host::Links::Refuse);
    if (!st) return false;
    return e.kind == Kind::File ? !S_ISDIR(st->st_mode) : S_ISDIR(st->st_mode);
}

// Removed as the user; root is asked only for a file the user cannot remove (rm does not
// follow a link either).
void removeFile(const std::string& path) {
    if (unlink(path.c_str()) == 0 || (errno != EACCES && errno != EPERM)) return;
    const std::size_t slash = path.rfind('/');
    S().FILEPATH = path.substr(0, slash);
    S().FILENAME = path.substr(slash + 1);
    ERASEFILEIFITEXISTSINFILEPATH2();
}

void removeEntries(const std::vector<Entry>& entries) {
    const std::string realHome = realPathOf(S().CURRENTOSACCOUNTUSERHOMEPATH);
    for (const Entry& e : entries) {
        // Checked again at the moment of removal: nothing is taken on an earlier look.
        if (!presentNow(e)) continue;
        if (e.kind == Kind::File) {
            removeFile(e.path);
            continue;
        }
        if (holdsHome(e.path, realHome)) continue;
        if (e.kind == Kind::Tree) emptyFolder(e.path, false);
        rmdir(e.path.c_str());  // a folder with anything else left in it stays
    }
}

std::vector<Entry> entriesToRemove(bool withConfig) {
    const SharedState& s = S();
    std::vector<Entry> entries =
        installationEntries(s.APPLICATIONTEXTWALLETINSTALLATIONPATH, withConfig, isRealFolder);
    const std::string home = s.CURRENTOSACCOUNTUSERHOMEPATH;
    entries.push_back(
        {launchers::desktopFolder(home) + "/" + launchers::kUserLauncherName, Kind::File});
    entries.push_back(
        {launchers::userMenuFolder(home) + "/" + launchers::kUserLauncherName, Kind::File});
    return entries;
}

}  // namespace

std::string trimTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

std::vector<Entry> installationEntries(
    std::string_view installPath, bool withConfig,
    const std::function<bool(const std::string&)>& isRealFolder) {
    const std::string ip = trimTrailingSeparators(installPath);
    std::vector<Entry> out;
    if (ip.empty()) return out;
    const std::string walletPath = join(ip, "wallet");
    if (isRealFolder(walletPath)) {
        out.push_back({join(walletPath, "wallet"), Kind::File});
        addFolderLayout(walletPath, withConfig, out);
        out.push_back({walletPath, Kind::EmptyFolder});
    } else {
        out.push_back({walletPath, Kind::File});
    }
    addFolderLayout(ip, withConfig, out);
    return out;
}

bool isRealFolder(const std::string& path) {
    const auto st = host::statPath(path, host::Links::Refuse);
    return st && S_ISDIR(st->st_mode);
}

std::vector<Entry> presentEntries(const std::vector<Entry>& entries, const std::string& home) {
    const std::string realHome = realPathOf(home);
    std::vector<Entry> out;
    std::set<std::string> going;
    for (const Entry& e : entries) {
        if (!presentNow(e)) continue;
        if (e.kind != Kind::File && holdsHome(e.path, realHome)) continue;
        if (e.kind == Kind::EmptyFolder) {
            // Listed only when everything in it goes too (contents come first in the list).
            bool emptied = true;
            std::error_code ec;
            for (fs::directory_iterator it(e.path, ec), end; emptied && !ec && it != end;
                 it.increment(ec)) {
                emptied = going.count(it->path().string()) != 0;
            }
            if (!emptied || ec) continue;
        }
        going.insert(e.path);
        out.push_back(e);
    }
    return out;
}

std::string shownPath(std::string_view path, std::size_t columns) {
    std::string shown;
    for (unsigned char c : path) {
        if (c < 0x20 || c == 0x7f) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            shown += buf;
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (shown.size() <= columns) return shown;
    return "..." + shown.substr(shown.size() - (columns - 3));
}

std::vector<std::string> confirmationLines(const std::vector<Entry>& present) {
    std::vector<std::string> lines = {" DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH", " "};
    const bool cut = present.size() > kShownEntries;
    const std::size_t shown = cut ? kShownEntries - 1 : present.size();
    for (std::size_t i = 0; i < shown; ++i) {
        const Entry& e = present[i];
        const std::string path = e.kind == Kind::File ? e.path : e.path + "/";
        lines.push_back("   " + shownPath(path, console::kScreenWidth - 3));
    }
    if (cut) lines.push_back("   ... and " + std::to_string(present.size() - shown) + " more");
    lines.push_back(" ");
    lines.push_back(" > PRESS y..TO DELETE THESE FILES, ANY OTHER KEY TO KEEP THEM");
    return lines;
}

}  // namespace removal

void deleteAllWalletFiles() {
    SharedState& s = S();
    const auto entries = removal::entriesToRemove(true);
    const auto present = removal::presentEntries(entries, s.CURRENTOSACCOUNTUSERHOMEPATH);
    if (present.empty()) return;
    console::drawMenu(removal::confirmationLines(present), console::kAwaitingStatus);
    const std::string key = console::waitMenuKey();
    if (key != "y") return;
    removal::removeEntries(entries);
}

void uninstallWallet() { removal::removeEntries(removal::entriesToRemove(false)); }

void removeLaunchers() {
    SharedState& s = S();
    const std::string home = s.CURRENTOSACCOUNTUSERHOMEPATH;
    s.FILEPATH = launchers::desktopFolder(home);
    s.FILENAME = launchers::kUserLauncherName;
    ERASEFILEIFITEXISTSINFILEPATH();
    s.FILEPATH = launchers::userMenuFolder(home);
    ERASEFILEIFITEXISTSINFILEPATH2();
    s.FILEPATH = launchers::kAllUsersMenuFolder;
    s.FILENAME = launchers::kAllUsersLauncherName;
    ERASEFILEIFITEXISTSINFILEPATH2();
}
