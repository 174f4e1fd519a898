// What stands at a path (see file_status.h).
#include "host/file_status.h"

#include <unistd.h>

#include <cerrno>

namespace host {

std::optional<struct stat> statPath(const std::string& path, Links links) {
    struct stat st {};
    const int rc = links == Links::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) return std::nullopt;
    return st;
}

}  // namespace host

bool pathExists(const std::string& path) { return host::statPath(path).has_value(); }

bool entryExists(const std::string& path) {
    return host::statPath(path, host::Links::Refuse).has_value();
}

bool isFolder(const std::string& path) {
    const auto st = host::statPath(path);
    return st && S_ISDIR(st->st_mode);
}

bool isRegularFile(const std::string& path) {
    const auto st = host::statPath(path);
    return st && S_ISREG(st->st_mode);
}

bool canEnterFolder(const std::string& path) {
    return !path.empty() && isFolder(path) && ::euidaccess(path.c_str(), X_OK) == 0;
}

int folderEntryError(const std::string& path) {
    if (path.empty() || !pathExists(path)) return ENOENT;
    if (!isFolder(path)) return ENOTDIR;
    return ::euidaccess(path.c_str(), X_OK) == 0 ? 0 : errno;
}
