// Mount identity: statx's mount ID where the kernel reports it, /proc/self/mountinfo otherwise.
// Only Linux headers here: glibc's own struct statx lacks the mount ID field on older versions.
#include "host/mount_id.h"

#include <fcntl.h>
#include <linux/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <optional>
#include <sstream>

#include "core/text.h"
#include "host/regular_file.h"

namespace {

std::string unescapeMountField(const std::string& field) {
    // mountinfo writes blank, tab, line feed and backslash as \040, \011, \012 and \134.
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string oct = field.substr(i + 1, 3);
            if (oct.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(oct, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::string pathOfFd(int fd) {
    std::string buf(4096, '\0');
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return "";
    buf.resize(static_cast<std::size_t>(n));
    return buf;
}

struct Ids {
    unsigned long long dev = 0;
    std::optional<std::uint64_t> mnt;
    bool ok = false;
};

Ids idsOf(int fd) {
    struct statx sx {};
    Ids ids;
    if (syscall(SYS_statx, fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) {
        return ids;
    }
    ids.ok = true;
    ids.dev = (static_cast<unsigned long long>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    if (sx.stx_mask & STATX_MNT_ID) ids.mnt = sx.stx_mnt_id;
    return ids;
}

}  // namespace

bool mountinfoListsMountPoint(const std::string& mountinfo, const std::string& path) {
    for (const std::string_view line : splitLines(mountinfo)) {
        // id parent major:minor root mount-point ...
        std::istringstream fields{std::string(line)};
        std::string id, parent, devno, root, point;
        if (fields >> id >> parent >> devno >> root >> point && unescapeMountField(point) == path) {
            return true;
        }
    }
    return false;
}

bool isOtherMount(int parentFd, int fd) {
    const Ids parent = idsOf(parentFd);
    const Ids here = idsOf(fd);
    if (!parent.ok || !here.ok) return true;  // cannot tell: do not enter
    if (parent.dev != here.dev) return true;
    if (parent.mnt && here.mnt) return *parent.mnt != *here.mnt;
    const auto text = host::readRegularFile("/proc/self/mountinfo");
    if (!text) return true;
    return mountinfoListsMountPoint(*text, pathOfFd(fd));
}
