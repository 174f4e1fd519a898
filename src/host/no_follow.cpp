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

// Where a walk stands: the open folder, its path, and the components still to walk.
struct Walk {
    FolderWalk& out;
    unsigned user;
    std::deque<std::string> rest;
    int links = 0;
    Fd current;
    std::string walked;  // "" is "/"
};

enum class Step { Next, Restart, Stop };

// Notes the first folder on the way that someone other than root and the user can change.
void noteFolder(Walk& w, const struct stat& st, const std::string& path) {
    if (othersCanChangeFolder(st, w.user) && w.out.othersCanChange.empty()) {
        w.out.othersCanChange = path;
    }
}

// (Re)starts the walk at "/". False, with out.error, when "/" cannot be opened.
bool startAtRoot(Walk& w) {
    w.walked.clear();
    w.current = Fd(open("/", kWalkFlags));
    struct stat st {};
    if (!w.current.valid() || fstat(w.current.get(), &st) != 0) {
        w.out.error = errno;
        return false;
    }
    noteFolder(w, st, "/");
    return true;
}

// The link name (st: its lstat) at here. Only a link that root made where nobody else could
// have put it is followed, and only for a user who is not root (for root every link is
// root's): its target goes before the rest, and the walk starts again at "/".
Step followLink(Walk& w, const std::string& name, const std::string& here, const struct stat& st) {
    const std::string target =
        st.st_uid == 0 && w.user != 0 && w.out.othersCanChange.empty() && ++w.links <= kMaxLinks
            ? readLinkAt(w.current.get(), name)
            : std::string();
    if (target.empty()) {
        w.out.linkAt = here;
        w.out.error = ELOOP;
        return Step::Stop;
    }
    std::deque<std::string> resolved = resolvedTarget(w.walked, target);
    w.rest.insert(w.rest.begin(), resolved.begin(), resolved.end());
    return Step::Restart;
}

// Opens the folder name below the walk's current one and makes it the walk's current one.
Step stepIntoFolder(Walk& w, const std::string& name, const std::string& here) {
    Fd next(openat(w.current.get(), name.c_str(), kWalkFlags));
    struct stat st {};
    // Judged on what was opened: a folder swapped in after the look before counts.
    if (!next.valid() || fstat(next.get(), &st) != 0) {
        w.out.error = errno;
        if (errno == ELOOP) w.out.linkAt = here;
        return Step::Stop;
    }
    noteFolder(w, st, here);
    w.current = std::move(next);
    w.walked = here;
    return Step::Next;
}

// Walks the next component of the rest.
Step walkComponent(Walk& w) {
    const std::string name = std::move(w.rest.front());
    w.rest.pop_front();
    std::string here = w.walked;
    here += '/';
    here += name;
    if (name == ".") return Step::Next;
    if (name == "..") {
        w.out.linkAt = here;
        w.out.error = EINVAL;
        return Step::Stop;
    }
    struct stat st {};
    if (fstatat(w.current.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        w.out.error = errno;
        return Step::Stop;
    }
    if (S_ISLNK(st.st_mode)) return followLink(w, name, here, st);
    if (!S_ISDIR(st.st_mode)) {
        w.out.error = ENOTDIR;
        return Step::Stop;
    }
    return stepIntoFolder(w, name, here);
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
    FolderWalk out;
    if (absolute.empty() || absolute.front() != '/') {
        out.error = EINVAL;
        return out;
    }
    Walk w{out, user, componentsOf(absolute), 0, Fd(), std::string()};
    if (!startAtRoot(w)) return out;
    while (!w.rest.empty()) {
        const Step step = walkComponent(w);
        if (step == Step::Stop) return out;
        if (step == Step::Restart && !startAtRoot(w)) return out;
    }
    out.folder = std::move(w.current);
    out.walked = w.walked.empty() ? "/" : w.walked;
    return out;
}

}  // namespace host
