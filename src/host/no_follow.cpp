// The no-follow folder walk: every component opened relative to the one before it, links of
// root's own resolved, any other link refused.
#include "host/no_follow.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

namespace host {

namespace {

// Search permission is enough for O_PATH: a folder the user may pass through but not list
// (a home folder of mode 0711) is walked too.
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kMaxLinks = 40;  // as the kernel's own resolution

std::deque<std::string> componentsOf(std::string_view path) {
    std::deque<std::string> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) out.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The absolute path a link's target names, with "." and ".." taken away by the letter: the
// folder the link stands in was walked without links, and only root's links get here.
std::deque<std::string> resolvedTarget(const std::string& walked, const std::string& target) {
    const std::string whole = target.front() == '/' ? target : walked + "/" + target;
    std::deque<std::string> out;
    for (std::string& c : componentsOf(whole)) {
        if (c == ".") continue;
        if (c == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(std::move(c));
    }
    return out;
}

std::string readLinkAt(int folder, const std::string& name) {
    std::string buf(256, '\0');
    while (true) {
        const ssize_t n = readlinkat(folder, name.c_str(), buf.data(), buf.size());
        if (n < 0) return "";
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            return buf;
        }
        if (buf.size() > 65536) return "";
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

Fd::~Fd() {
    if (fd_ >= 0) close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.release();
    }
    return *this;
}

bool othersCanChangeFolder(const struct stat& st, unsigned user) {
    if (st.st_uid != 0 && st.st_uid != user) return true;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0) return false;
    return (st.st_mode & S_ISVTX) == 0;
}

FolderWalk walkToFolder(std::string_view absolute, unsigned user) {
    FolderWalk w;
    if (absolute.empty() || absolute.front() != '/') {
        w.error = EINVAL;
        return w;
    }
    std::deque<std::string> rest = componentsOf(absolute);
    int links = 0;
    bool restart = true;
    Fd current;
    std::string walked;  // "" is "/"
    while (true) {
        if (restart) {
            restart = false;
            walked.clear();
            current = Fd(open("/", kWalkFlags));
            struct stat st {};
            if (!current.valid() || fstat(current.get(), &st) != 0) {
                w.error = errno;
                return w;
            }
            if (othersCanChangeFolder(st, user) && w.othersCanChange.empty())
                w.othersCanChange = "/";
        }
        if (rest.empty()) break;
        const std::string name = std::move(rest.front());
        rest.pop_front();
        const std::string here = walked + "/" + name;
        if (name == ".") continue;
        if (name == "..") {
            w.linkAt = here;
            w.error = EINVAL;
            return w;
        }
        struct stat st {};
        if (fstatat(current.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            w.error = errno;
            return w;
        }
        if (S_ISLNK(st.st_mode)) {
            // Only a link that root made where nobody else could have put it is followed, and
            // only for a user who is not root: for root every link is root's.
            const std::string target =
                st.st_uid == 0 && user != 0 && w.othersCanChange.empty() && ++links <= kMaxLinks
                    ? readLinkAt(current.get(), name)
                    : std::string();
            if (target.empty()) {
                w.linkAt = here;
                w.error = ELOOP;
                return w;
            }
            std::deque<std::string> resolved = resolvedTarget(walked, target);
            rest.insert(rest.begin(), resolved.begin(), resolved.end());
            restart = true;
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            w.error = ENOTDIR;
            return w;
        }
        Fd next(openat(current.get(), name.c_str(), kWalkFlags));
        // Judged on what was opened: a folder swapped in after the look above counts.
        if (!next.valid() || fstat(next.get(), &st) != 0) {
            w.error = errno;
            if (errno == ELOOP) w.linkAt = here;
            return w;
        }
        if (othersCanChangeFolder(st, user) && w.othersCanChange.empty()) w.othersCanChange = here;
        current = std::move(next);
        walked = here;
    }
    w.folder = std::move(current);
    w.walked = walked.empty() ? "/" : walked;
    return w;
}

}  // namespace host
