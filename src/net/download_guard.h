// What stands between a download and the folder it writes into: a lock that one download at a
// time holds (and that a wget left running by an earlier run still holds), and the sweep that
// removes every symbolic link where wget is about to write, so that nothing a server listed in
// an earlier run can send this run's files elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// The lock file, in the folder the download runs in.
inline constexpr const char* kDownloadLockName = ".corvane-download.lock";

// The folder below the working directory that a wget command line writes into: wget -nH
// recreates the remote path of its ftp:// address there, so it is that path's first part
// ("archive" for .../archive/wallet/current). Empty when the line holds no such address.
std::string downloadTopOf(std::string_view commandLine);

// Removes every symbolic link at folder/top and anywhere below it, without following any
// (openat from folder, O_NOFOLLOW at every step). Returns the links removed, in the order met;
// problem names the first link that could not be removed or the folder that could not be read,
// and then the download must not run.
struct LinkSweep {
    std::vector<std::string> removed;
    std::string problem;
};
LinkSweep removeLinksBelow(const std::string& folder, const std::string& top);

// One download at a time per folder. The lock is an flock on the lock file, which holds the
// taker's process id; while the download runs its processes inherit the descriptor, so the
// lock stays held as long as any of them lives, even when the installer itself was killed. A
// lock file whose holders have all ended is taken over.
class DownloadLock {
public:
    DownloadLock() = default;
    ~DownloadLock();  // releases: the file is removed, then closed
    DownloadLock(const DownloadLock&) = delete;
    DownloadLock& operator=(const DownloadLock&) = delete;

    // Takes the lock in folder. Nothing on success; else why not, in the stop status's words:
    // "Download Busy (Process N)" while another download holds it (N: the process that took
    // it), "Cannot Lock PATH" when the file cannot be made or locked.
    std::optional<std::string> take(const std::string& folder);
    // While the download runs: its processes inherit the lock (and afterwards no longer do).
    void shareWithChildren(bool share);
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string path_;
};

// The process id written in a lock file's text; nothing when it holds none.
std::optional<long> lockHolderOf(std::string_view lockText);

}  // namespace net
