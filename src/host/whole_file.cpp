// Whole-file access for the installer's own small files (see whole_file.h).
// Plain POSIX calls: one read of the whole file; a write goes to a new file that replaces the
// old one by rename. Links are never followed.
#include "host/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "host/fatal.h"

namespace {

mode_t creationMode(FileMode mode) { return mode == FileMode::Private ? 0600 : 0666; }

[[noreturn]] void failWith(const std::string& path, int err) {
    fatalFileError(path, std::strerror(err));
}

// Writes all bytes to fd; returns 0 or the errno of the failing write.
int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

[[noreturn]] void refuseLink(const std::string& path) {
    fatalFileError(path, "a symbolic link stands there; the installer does not follow it");
}

// Writes bytes to an exclusive new file beside path with the given mode, flushes it to the
// disk and renames it over path, so that path holds either the old bytes or the new ones
// whatever happens meanwhile (a kill, a full disk). Returns 0 or the errno of the failure;
// no temporary file is left behind on a failure.
int replaceByRename(const std::string& path, std::string_view bytes, mode_t mode, bool exactMode) {
    static unsigned counter = 0;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tmp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    int err = 0;
    // The umask must not narrow the mode that the old file had.
    if (exactMode && ::fchmod(fd, mode) != 0) err = errno;
    if (err == 0) err = writeAll(fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        return err;
    }
    // The rename itself reaches the disk with the folder.
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return 0;
}

// In-place rewrite, for a writable file in a folder where no new file may be made.
int rewriteInPlace(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = writeAll(fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    return err;
}

// Writes bytes into a fresh 0600 file beside path and renames it over path.
void replacePrivately(const std::string& path, std::string_view bytes) {
    if (int err = replaceByRename(path, bytes, 0600, true); err != 0) failWith(path, err);
}

}  // namespace

std::string readWholeFile(const std::string& path, FileMode mode) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // O_EXCL: a dangling link is not followed to create its target.
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    creationMode(mode));
    }
    if (fd < 0 && (errno == ELOOP || errno == EEXIST)) refuseLink(path);
    if (fd < 0) failWith(path, errno);
    std::string content;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            failWith(path, err);
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

void writeWholeFile(const std::string& path, std::string_view bytes, FileMode mode) {
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) refuseLink(path);
    mode_t newMode = creationMode(mode);
    if (mode == FileMode::Normal && exists) newMode = st.st_mode & 07777;
    int err = replaceByRename(path, bytes, newMode, exists || mode == FileMode::Private);
    if ((err == EACCES || err == EPERM) && mode == FileMode::Normal && exists &&
        S_ISREG(st.st_mode)) {
        // A folder that only lets the file itself be written (made so by hand): the file is
        // rewritten where it is, as before.
        err = rewriteInPlace(path, bytes);
    }
    if (err == ELOOP) refuseLink(path);
    if (err != 0) failWith(path, err);
}

void ensurePrivateFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    if (errno != EEXIST) failWith(path, errno);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) failWith(path, errno);
    if ((st.st_mode & 077) != 0) replacePrivately(path, readWholeFile(path));
}

bool canEnterFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    if (folder.empty() || (!name.empty() && name.front() == '/')) return std::string(name);
    std::string path(folder);
    if (path.back() != '/') path += '/';
    path += name;
    return path;
}
