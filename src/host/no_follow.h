// The walk to a folder that follows no link anybody but root could have made: the folder is
// opened one component at a time from "/", so a name renamed or replaced by a link on the way
// is seen, and the walk tells whether someone other than root and the user can change a folder
// on the way (what decides whether root may be asked to remove anything there).
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace host {

// An open file descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// True when someone other than root and user can change what a folder of this status holds:
// it belongs to another user, or group or others may write it (a sticky folder counts as safe:
// there nobody renames or replaces what is not theirs).
bool othersCanChangeFolder(const struct stat& st, unsigned user);

struct FolderWalk {
    Fd folder;                    // the folder, open; invalid when the walk stopped
    std::string walked;           // the folder's path as walked (root's links resolved)
    std::string linkAt;           // where the walk met a link it does not follow, or "." / ".."
    std::string othersCanChange;  // the first folder on the way (the folder itself included)
                                  // that someone other than root and user can change; "" none
    int error = 0;                // errno when the walk stopped (ELOOP at linkAt)
};

// Opens the folder at the absolute path from "/", one component at a time with O_NOFOLLOW. A
// link is followed only when root owns it and nobody but root and user can change any folder
// up to it (a system link such as /home -> /data/home); any other link stops the walk at
// linkAt with ELOOP. When user is root, no link is followed. A missing or non-folder component
// stops it with that errno.
FolderWalk walkToFolder(std::string_view absolute, unsigned user);

}  // namespace host
