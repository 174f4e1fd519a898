// Whole-file access for the installer's own small files (see whole_file.h).
// Plain POSIX calls: one read of the whole file, one write of the whole file.
#include "config/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

// Writes bytes into a fresh 0600 file beside path and renames it over path.
void replacePrivately(const std::string& path, std::string_view bytes) {
    std::string tmpl = joinPath(folderOf(path), ".corvane-XXXXXX");
    int fd = ::mkstemp(tmpl.data());  // mkstemp creates the file with mode 0600
    if (fd < 0) failWith(path, errno);
    int err = writeAll(fd, bytes);
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(tmpl.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmpl.c_str());
        failWith(path, err);
    }
}

}  // namespace

std::string readWholeFile(const std::string& path, FileMode mode) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, creationMode(mode));
    }
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
    if (mode == FileMode::Private) {
        replacePrivately(path, bytes);
        return;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, creationMode(mode));
    if (fd < 0) failWith(path, errno);
    int err = writeAll(fd, bytes);
    if (::close(fd) != 0 && err == 0) err = errno;
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
