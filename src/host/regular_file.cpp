// Reading files that arrived from elsewhere without following links or waiting on FIFOs.
#include "host/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace host {

bool readRegularFile(const std::string& path, const std::function<void(std::string_view)>& sink) {
    // O_NOFOLLOW: a planted link must not make us read (or vouch for) its target;
    // O_NONBLOCK: opening a FIFO must not hang the installer (it is refused below).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    std::vector<char> buffer(1 << 16);
    while (ok) {
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

std::optional<std::string> readRegularFile(const std::string& path) {
    std::string content;
    if (!readRegularFile(path, [&](std::string_view piece) { content.append(piece); })) {
        return std::nullopt;
    }
    return content;
}

}  // namespace host
