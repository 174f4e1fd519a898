// Delete all files, uninstall and remove launchers: the installation menu's keys 7 and 9 and
// the top menu's unlisted keys 6 and 7.
#include "install/removal.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/installWalletForLinux.h"
#include "install/launchers.h"

namespace fs = std::filesystem;

namespace removal {

namespace {

void eraseFile(const std::string& folder, const std::string& name) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(folder + "/" + name, ec);
    // Folders are not files of the wallet (IP/wallet is the application folder of variant A).
    if (!fs::exists(st) || fs::is_directory(st)) return;
    S().FILEPATH = folder;
    S().FILENAME = name;
    ERASEFILEIFITEXISTSINFILEPATH();
}

void eraseWalletFiles(bool withConfig) {
    SharedState& s = S();
    for (const std::string& folder : walletFileFolders(s.APPLICATIONTEXTWALLETINSTALLATIONPATH)) {
        if (!isRealFolder(folder)) continue;
        eraseFile(folder, "wallet");
        eraseFile(folder, "wallet.ico");
        if (withConfig) eraseFile(folder, "wallet.cfg");
    }
    const std::string home = s.CURRENTOSACCOUNTUSERHOMEPATH;
    eraseFile(launchers::desktopFolder(home), launchers::kUserLauncherName);
    eraseFile(launchers::userMenuFolder(home), launchers::kUserLauncherName);
}

void emptyWalletFolder(const std::vector<std::string>& keep) {
    if (auto folder =
            walletFolderToEmpty(S().APPLICATIONTEXTWALLETINSTALLATIONPATH, isRealFolder)) {
        emptyFolder(*folder, keep);
    }
}

}  // namespace

std::string trimTrailingSeparators(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

std::optional<std::string> walletFolderToEmpty(
    std::string_view installPath, const std::function<bool(const std::string&)>& isRealFolder) {
    const std::string ip = trimTrailingSeparators(installPath);
    if (ip.empty()) return std::nullopt;
    const std::size_t slash = ip.rfind('/');
    const std::string last = slash == std::string::npos ? ip : ip.substr(slash + 1);
    const std::string candidate = last == "wallet" ? ip : (ip == "/" ? "" : ip) + "/wallet";
    if (!isRealFolder(candidate)) return std::nullopt;
    return candidate;
}

std::vector<std::string> walletFileFolders(std::string_view installPath) {
    const std::string ip = trimTrailingSeparators(installPath);
    if (ip.empty()) return {};
    return {ip, (ip == "/" ? "" : ip) + "/wallet"};
}

bool isRealFolder(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(path, ec));
}

void emptyFolder(const std::string& folder, const std::vector<std::string>& keep) {
    SharedState& s = S();
    if (keep.empty()) {
        s.DIRNAME = folder;
        DELETEFOLDER();
        return;
    }
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(it->path());
    }
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (std::find(keep.begin(), keep.end(), name) != keep.end()) continue;
        if (isRealFolder(entry.string())) {
            s.DIRNAME = entry.string();
            DELETEFOLDER();
            fs::remove(entry, ec);
        } else if (!fs::remove(entry, ec)) {
            s.FILEPATH = folder;
            s.FILENAME = name;
            ERASEFILEIFITEXISTSINFILEPATH();
        }
    }
}

}  // namespace removal

void deleteAllWalletFiles() {
    removal::eraseWalletFiles(true);
    removal::emptyWalletFolder({});
}

void uninstallWallet() {
    removal::eraseWalletFiles(false);
    removal::emptyWalletFolder({"wallet.cfg"});
}

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
