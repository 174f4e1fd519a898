// File-system routines: folder tests, the creation walks (with their elevated fallbacks),
// file erasing, link-safe folder emptying and the recursive listing.
#include "host/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>

#include "core/path.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_status.h"
#include "host/mount_id.h"
#include "host/shell.h"
#include "host/shell_capture.h"

std::string currentFolder() {
    std::string buf(4096, '\0');
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE || buf.size() > (1u << 20)) return "";
        buf.resize(buf.size() * 2);
    }
    buf.resize(buf.find('\0'));
    return buf;
}

bool enterFolder(const std::string& folder) { return chdir(folder.c_str()) == 0; }

std::vector<std::string> pathPrefixes(std::string_view path) {
    // Only "/" separates: on Linux a backslash is an ordinary character of a name.
    std::vector<std::string> prefixes;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) prefixes.emplace_back(path.substr(0, end));
        start = end + 1;
    }
    return prefixes;
}

std::string rootMkdirCommand(std::string_view folder) {
    return "mkdir -m 0755 -- " + shellQuote(folder);
}
std::string rootChownCommand(std::string_view folder, unsigned uid, unsigned gid) {
    return "chown -h " + std::to_string(uid) + ":" + std::to_string(gid) + " -- " +
           shellQuote(folder);
}

bool setOwnFolderMode(const std::string& folder, unsigned mode) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fchmod(fd, mode) == 0;
    close(fd);
    return ok;
}

int makeFolder(const std::string& folder, unsigned mode) {
    if (mkdir(folder.c_str(), mode) != 0) return errno;
    setOwnFolderMode(folder, mode);  // the user's mask may have taken bits
    return 0;
}

int makeFolderPath(const std::string& path, unsigned mode) {
    for (const auto& prefix : pathPrefixes(path)) {
        if (const int err = makeFolder(prefix, mode); err != 0 && err != EEXIST) return err;
    }
    return isFolder(path) ? 0 : ENOTDIR;
}

std::string temporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

std::string makeTemporaryFolder(std::string_view prefix) {
    return makeTemporaryFolder(prefix, temporaryFolder());
}

std::string makeTemporaryFolder(std::string_view prefix, const std::string& base) {
    std::string folder = joinPath(base, std::string(prefix) + "XXXXXX");
    return mkdtemp(folder.data()) != nullptr ? folder : std::string();
}
std::string rootRemoveFileCommand(std::string_view filePath) {
    return "rm -- \"" + doubleQuoteEscape(filePath) + "\"";
}

const std::vector<std::string>& libraryFileNames() {
    static const std::vector<std::string> names = {
        "libsphinxad.la",     "libsphinxad.so",       "libsphinxad.so.0",   "libsphinxad.so.0.0.1T",
        "libsphinxfe.la",     "libsphinxfeat.la",     "libsphinxlm.la",     "libsphinxutil.la",
        "libsphinxbase.la",   "libsphinxbase.so",     "libsphinxbase.so.1", "libpocketsphinx.la",
        "libpocketsphinx.so", "libpocketsphinx.so.1", "libcommon.la",       "libclust.la",
        "libio.la",           "libmllr.la",           "libmodinv.la"};
    return names;
}

const std::vector<std::string>& libraryRemoveCommands() {
    static const std::vector<std::string> commands = {"rm -f libsphinxad.la",
                                                      "rm -f libsphinxad.so.0",
                                                      "rm -f libsphinxad.so.0.0.1T",
                                                      "rm -f libsphinxad.so",
                                                      "rm -f libsphinxfe.la",
                                                      "rm -f libsphinxfeat.la",
                                                      "rm -f libsphinxlm.la",
                                                      "rm -f libsphinxutil.la",
                                                      "rm -f libsphinxbase.la",
                                                      "rm -f libsphinxbase.so",
                                                      "rm -f libsphinxbase.so1",
                                                      "rm -f libpocketsphinx.la",
                                                      "rm -f libpocketsphinx.so",
                                                      "rm -f libpocketsphinx.so.1",
                                                      "rm -f libcommon.la",
                                                      "rm -f libclust.la",
                                                      "rm -f libio.la",
                                                      "rm -f libmllr.la",
                                                      "rm -f libmodinv.la"};
    return commands;
}

namespace {

bool ownedSafely(const std::string& path, unsigned user, bool leaf) {
    const auto found = host::statPath(path, host::Links::Refuse);
    if (!found) return false;
    const struct stat& st = *found;
    if (st.st_uid != 0 && st.st_uid != user) return false;
    if (S_ISLNK(st.st_mode)) return !leaf;  // its target is checked on the resolved path
    if (leaf && !S_ISREG(st.st_mode)) return false;
    if (!leaf && !S_ISDIR(st.st_mode)) return false;
    const bool othersWrite = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersWrite || (!leaf && (st.st_mode & S_ISVTX) != 0);
}

bool chainSafe(const std::string& absolute, unsigned user) {
    if (!ownedSafely("/", user, false)) return false;
    const auto prefixes = pathPrefixes(absolute);
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        if (!ownedSafely(prefixes[i], user, i + 1 == prefixes.size())) return false;
    }
    return !prefixes.empty();
}

}  // namespace

bool pathOthersCanChange(const std::string& file, unsigned user) {
    const std::string absolute =
        !file.empty() && file.front() == '/' ? file : currentFolder() + "/" + file;
    char* resolved = realpath(absolute.c_str(), nullptr);
    if (resolved == nullptr) return true;
    const std::string real = resolved;
    free(resolved);
    return !chainSafe(absolute, user) || !chainSafe(real, user);
}

namespace {

std::vector<std::string> entryNames(int folderFd) {
    std::vector<std::string> names;
    int listFd = dup(folderFd);
    if (listFd < 0) return names;
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        close(listFd);
        return names;
    }
    rewinddir(dir);
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    closedir(dir);
    return names;
}

void emptyOpenFolder(int fd, bool runCommands, bool& removedFolder);

// The library's own files in the open folder fd (files and links only), then, when asked, its
// removal commands run in that folder.
void removeLibraryFiles(int fd, bool runCommands) {
    for (const auto& name : libraryFileNames()) {
        struct stat st {};
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode)) {
            unlinkat(fd, name.c_str(), 0);
        }
    }
    if (!runCommands) return;
    // The commands run in the folder itself, reached through the descriptor the walk opened
    // (no path that a link could redirect); the installer's own current folder stays.
    const std::string folder = "/proc/self/fd/" + std::to_string(fd);
    for (const auto& command : libraryRemoveCommands()) runCommandIn(folder, command);
}

// Removes the entry name (st: its lstat) of the open folder fd: anything but a folder at once, a
// folder once it is empty, emptied first unless it is another mount. Returns whether it is gone.
bool removeEntry(int fd, const std::string& name, const struct stat& st, bool runCommands,
                 bool& removedFolder) {
    if (!S_ISDIR(st.st_mode)) return unlinkat(fd, name.c_str(), 0) == 0;
    if (unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0) {
        int sub = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
            if (!isOtherMount(fd, sub)) emptyOpenFolder(sub, runCommands, removedFolder);
            close(sub);
        }
        if (unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0) return false;
    }
    removedFolder = true;
    return true;
}

// Empties the open folder fd. Everything is addressed relative to fd with links never
// followed, and no mount point below is entered (a bind mount keeps the device number, so the
// mount ID decides), so the walk cannot leave the folder.
void emptyOpenFolder(int fd, bool runCommands, bool& removedFolder) {
    removeLibraryFiles(fd, runCommands);

    std::set<std::string> stuck;  // entries that could not be removed: tried once only
    bool progress = true;
    while (progress) {
        progress = false;
        for (const auto& name : entryNames(fd)) {
            if (stuck.count(name) != 0) continue;
            struct stat st {};
            if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (removeEntry(fd, name, st, runCommands, removedFolder)) {
                progress = true;
            } else {
                stuck.insert(name);
            }
        }
    }
}

}  // namespace

// Folders are made by the user where the user may; root makes only those the user cannot,
// and gives them to the user at once. Either way they end up the user's, mode 0755: never
// writable by others, since root later installs packages from below them.
void createMissingFolders(const std::string& path) {
    for (const auto& prefix : pathPrefixes(path)) {
        if (canEnterFolder(prefix)) continue;
        if (const int err = makeFolder(prefix); err == EACCES || err == EPERM || err == EROFS) {
            runElevated(rootMkdirCommand(prefix));
            runElevated(rootChownCommand(prefix, geteuid(), getegid()));
        }
        if (!canEnterFolder(prefix)) return;
    }
}

bool emptyFolder(const std::string& folder, bool runCommands) {
    // A trailing "/" would make open() follow a link in the last component.
    const std::string name = withoutTrailingSlash(folder);
    if (name.empty()) return false;
    int fd = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool removedFolder = emptyOpenedFolder(fd, runCommands);
    close(fd);
    return removedFolder;
}

bool emptyOpenedFolder(int fd, bool runCommands) {
    bool removedFolder = false;
    emptyOpenFolder(fd, runCommands, removedFolder);
    return removedFolder;
}

std::size_t appendListingLines(std::string_view output, StringList& list) {
    std::size_t appended = 0;
    forEachLine(output, [&](std::string_view line) {
        if (line.empty()) return;
        list.append(std::string(line));
        ++appended;
    });
    return appended;
}

// The routines.

void CHECKIFPATHEXISTS() { S().PATHFOUND = canEnterFolder(S().PATHNAME) ? 1 : 0; }

void CHECKIFLOCALPATHEXISTS() { CHECKIFPATHEXISTS(); }

void CREATEALLDIRECTORIESNOTPRESENTINPATH() { CREATEALLDIRECTORIESNOTPRESENTINPATH2(); }

void CREATEALLDIRECTORIESNOTPRESENTINPATH2() { createMissingFolders(S().FILEPATH); }

void ERASEFILEIFITEXISTSINFILEPATH() {
    std::string file = S().FILEPATH + "/" + S().FILENAME;
    // O_NONBLOCK: a named pipe must not hang the test for "can be opened for reading".
    int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        S().FILEFOUND = 0;
        return;
    }
    close(fd);
    runElevated(rootRemoveFileCommand(file));
    S().FILEFOUND = 1;
}

void ERASEFILEIFITEXISTSINFILEPATH2() {
    runElevated(rootRemoveFileCommand(S().FILEPATH + "/" + S().FILENAME));
    S().FILEFOUND = 1;
}

void DELETEFOLDER() { DELETEDIRPATH5(); }

void DELETEDIRPATH5() {
    if (emptyFolder(S().DIRNAME)) S().RETURNCODE = 1;
}

void ENUMERATERECURSIVEFILEANDFOLDERNAMESINCURRENTFOLDERINTOTEMPORARYDYNAMICARRAY() {
    auto& s = S();
    s.NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY = 0;
    const std::string& listing = captureThroughScratchFile("find -- " + shellQuote(currentFolder()),
                                                           CapturePrivilege::User, 2000);
    if (listing.empty()) return;
    s.TEMPORARYDYNAMICARRAY.clear();
    s.NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY =
        appendListingLines(listing, s.TEMPORARYDYNAMICARRAY);
}
