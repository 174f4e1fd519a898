// The one reader of whole files (see regular_file.h).
#include "host/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace host {
namespace {

// Opens path for reading when it is a regular file; returns the descriptor and its size, or
// -errno.
int openRegular(const std::string& path, Links links, std::size_t& size) {
    // O_NOFOLLOW: a planted link must not make us read (or vouch for) its target;
    // O_NONBLOCK: opening a FIFO must not hang the installer (it is refused below).
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) return -errno;
    struct stat st {};
    const int err = ::fstat(fd, &st) != 0 ? errno : !S_ISREG(st.st_mode) ? EINVAL : 0;
    if (err != 0) {
        ::close(fd);
        return -err;
    }
    size = static_cast<std::size_t>(st.st_size);
    return fd;
}

}  // namespace

int readFileInto(const std::string& path, std::string& out, Links links) {
    out.clear();
    std::size_t size = 0;
    const int fd = openRegular(path, links, size);
    if (fd < 0) return -fd;
    // One byte more than the file holds, so that the end shows as a read of nothing without
    // the buffer growing (and being copied) after the last byte came in.
    out.resize(size + 1);
    std::size_t got = 0;
    int err = 0;
    while (true) {
        if (got == out.size()) out.resize(out.size() * 2);  // the file grew since fstat
        const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    ::close(fd);
    return err;
}

std::optional<std::string> readRegularFile(const std::string& path, Links links) {
    std::string content;
    if (readFileInto(path, content, links) != 0) return std::nullopt;
    return content;
}

bool readRegularFile(const std::string& path, const std::function<void(std::string_view)>& sink) {
    std::size_t size = 0;
    const int fd = openRegular(path, Links::Refuse, size);
    if (fd < 0) return false;
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    while (true) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
    return ok;
}

}  // namespace host
