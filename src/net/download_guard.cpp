// The download lock and the link sweep of the folder a download writes into.
#include "net/download_guard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace net {

namespace {

// Deeper than any archive; a deeper tree is not swept but refused.
constexpr int kMaxDepth = 64;

// shown + "/" + name: a path as the messages and the list of removed links show it.
std::string below(const std::string& shown, const std::string& name) {
    std::string path = shown;
    path += '/';
    path += name;
    return path;
}

// Reads the open folder dir (fd: its descriptor, shown as shown) to its end: removes its links
// (listed in out) and returns its folders, to be swept after it. Stops at the first problem.
std::vector<std::string> removeLinksIn(DIR* dir, int fd, const std::string& shown, LinkSweep& out) {
    std::vector<std::string> folders;
    while (out.problem.empty()) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (e == nullptr) {
            if (errno != 0) out.problem = shown;
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone
        if (S_ISLNK(st.st_mode)) {
            std::string path = below(shown, name);
            if (::unlinkat(fd, name.c_str(), 0) != 0) {
                out.problem = std::move(path);
                break;
            }
            out.removed.push_back(std::move(path));
        } else if (S_ISDIR(st.st_mode)) {
            folders.push_back(name);
        }
    }
    return folders;
}

// Removes the links in the open folder fd (shown as shown), recursing into its folders.
void sweep(int fd, const std::string& shown, int depth, LinkSweep& out) {
    if (depth > kMaxDepth) {
        out.problem = shown + " (too deep)";
        ::close(fd);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        out.problem = shown;
        ::close(fd);
        return;
    }
    for (const std::string& name : removeLinksIn(dir, fd, shown, out)) {
        if (!out.problem.empty()) break;
        const int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) {
            if (errno != ENOENT) out.problem = below(shown, name);
            continue;
        }
        sweep(sub, below(shown, name), depth + 1, out);
    }
    ::closedir(dir);  // closes fd
}

// What a lock refused because another holds it says: busy, with the holder's process id when
// the lock file (fd) names one.
std::string busyMessage(int fd) {
    char text[32] = {0};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    const auto holder =
        lockHolderOf(std::string_view(text, n > 0 ? static_cast<std::size_t>(n) : 0));
    return "Download Busy" +
           (holder ? " (Process " + std::to_string(*holder) + ")" : std::string());
}

}  // namespace

std::string downloadTopOf(std::string_view commandLine) {
    const auto scheme = commandLine.rfind("ftp://");
    if (scheme == std::string_view::npos) return {};
    std::string_view rest = commandLine.substr(scheme + 6);
    rest = rest.substr(0, rest.find_first_of(" \t\n"));
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return {};
    rest.remove_prefix(slash + 1);
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    rest = rest.substr(0, rest.find('/'));
    if (rest.empty() || rest == "." || rest == "..") return {};
    return std::string(rest);
}

LinkSweep removeLinksBelow(const std::string& folder, const std::string& top) {
    LinkSweep out;
    const int base = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (base < 0) {
        out.problem = folder;
        return out;
    }
    const std::string shown = folder + "/" + top;
    struct stat st {};
    if (top.empty() || ::fstatat(base, top.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        ::close(base);  // nothing there yet: wget makes it
        return out;
    }
    if (S_ISLNK(st.st_mode)) {
        if (::unlinkat(base, top.c_str(), 0) != 0) {
            out.problem = shown;
        } else {
            out.removed.push_back(shown);
        }
    } else if (S_ISDIR(st.st_mode)) {
        const int fd = ::openat(base, top.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            out.problem = shown;
        } else {
            sweep(fd, shown, 1, out);
        }
    }
    ::close(base);
    return out;
}

std::optional<long> lockHolderOf(std::string_view lockText) {
    long pid = 0;
    std::size_t i = 0;
    for (; i < lockText.size() && lockText[i] >= '0' && lockText[i] <= '9' && i < 10; ++i)
        pid = pid * 10 + (lockText[i] - '0');
    if (i == 0 || pid <= 0) return std::nullopt;
    return pid;
}

DownloadLock::~DownloadLock() {
    if (fd_ < 0) return;
    // Removed while still held: whoever opened it meanwhile finds it replaced and tries again.
    ::unlink(path_.c_str());
    ::close(fd_);
}

std::optional<std::string> DownloadLock::take(const std::string& folder) {
    path_ = folder + "/" + kDownloadLockName;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd =
            ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0 && errno == ELOOP) {
            ::unlink(path_.c_str());  // a link is never written through
            continue;
        }
        if (fd < 0) return "Cannot Lock " + path_;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return "Cannot Lock " + path_;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            std::string refused = errno == EWOULDBLOCK ? busyMessage(fd) : "Cannot Lock " + path_;
            ::close(fd);
            return refused;
        }
        // Still the file at the path (not one its last holder removed meanwhile)?
        struct stat now {};
        if (::lstat(path_.c_str(), &now) != 0 || now.st_ino != st.st_ino ||
            now.st_dev != st.st_dev) {
            ::close(fd);
            continue;
        }
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
            // The lock holds all the same; only the message of a later refusal loses the id.
        }
        fd_ = fd;
        return std::nullopt;
    }
    return "Cannot Lock " + path_;
}

void DownloadLock::shareWithChildren(bool share) {
    if (fd_ >= 0) ::fcntl(fd_, F_SETFD, share ? 0 : FD_CLOEXEC);
}

}  // namespace net
