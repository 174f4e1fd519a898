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
#include "host/file_status.h"
#include "host/regular_file.h"

namespace {

mode_t creationMode(FileMode mode) { return mode == FileMode::Private ? 0600 : 0666; }

[[noreturn]] void failWith(const std::string& path, int err) {
    fatalFileError(path, std::strerror(err));
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
    std::string tmp;
    int fd = -1;
    // The file is gone again before the call returns, so the attempt's number is enough to
    // step past what another process (or a killed run of this one) left under the name.
    for (int attempt = 1; fd < 0 && attempt <= 100; ++attempt) {
        tmp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
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

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;  // nothing taken: waiting for more would never end
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string readWholeFile(const std::string& path, FileMode mode) {
    std::string content;
    int err = host::readFileInto(path, content);
    if (err == ENOENT) {
        // O_EXCL: a dangling link is not followed to create its target.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              creationMode(mode));
        if (fd >= 0) {
            ::close(fd);
            return content;
        }
        err = errno;
    }
    if (err == ELOOP || err == EEXIST) refuseLink(path);
    if (err == EINVAL) fatalFileError(path, "not a regular file");
    if (err != 0) failWith(path, err);
    return content;
}

int replaceFile(const std::string& path, std::string_view bytes, const WriteRule& rule) {
    const auto found = host::statPath(path, host::Links::Refuse);
    const bool exists = found.has_value();
    struct stat st {};
    if (found) st = *found;
    const bool link = exists && S_ISLNK(st.st_mode);
    if (link && !rule.replaceLink) return ELOOP;
    mode_t newMode = creationMode(rule.mode);
    if (rule.exactMode) {
        newMode = *rule.exactMode;
    } else if (rule.mode == FileMode::Normal && exists && !link) {
        newMode = st.st_mode & 07777;
    }
    const bool exact = rule.exactMode || (exists && !link) || rule.mode == FileMode::Private;
    int err = replaceByRename(path, bytes, newMode, exact);
    if ((err == EACCES || err == EPERM) && rule.mode == FileMode::Normal && !rule.exactMode &&
        exists && S_ISREG(st.st_mode)) {
        // A folder that only lets the file itself be written (made so by hand): the file is
        // rewritten where it is, as before.
        err = rewriteInPlace(path, bytes);
    }
    return err;
}

void writeWholeFile(const std::string& path, std::string_view bytes, FileMode mode) {
    const int err = replaceFile(path, bytes, WriteRule{mode});
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
    const auto st = host::statPath(path);
    if (!st) failWith(path, errno);
    if ((st->st_mode & 077) != 0) replacePrivately(path, readWholeFile(path));
}
