// The download lock (one download at a time per folder, held by the download's own processes)
// and the sweep that removes every link where wget is about to write.
#include "net/download_guard.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

TEST(DownloadTop, IsTheFirstPartOfTheRemotePath) {
    const std::pair<std::string, std::string> cases[] = {
        {"wget -N -r  --user=a --password=b ftp://h.example/archive/wallet/current", "archive"},
        {"wget -r  --user=a --password=b ftp://h.example:2121/current > /dev/null", "current"},
        {"wget ftp://h.example//current/x", "current"},
        {"wget ftp://h.example/", ""},
        {"wget ftp://h.example/../x", ""},
        {"wget http://h.example/current", ""},
    };
    for (const auto& [line, top] : cases) EXPECT_EQ(net::downloadTopOf(line), top) << line;
}

TEST(LinkSweep, EveryLinkWhereWgetWritesIsRemovedAndNoneIsFollowed) {
    ScopedTempDir dir;
    const std::string outside = dir / "autostart";
    fs::create_directories(outside);
    writeFileBytes(outside + "/keep.desktop", "x");
    const std::string folder = dir / "work";
    fs::create_directories(folder + "/archive/wallet/current/Linux");
    writeFileBytes(folder + "/archive/wallet/current/wallet.ico", "icon");
    fs::create_directory_symlink(outside, folder + "/archive/wallet/current/extras");
    fs::create_symlink(outside + "/keep.desktop", folder + "/archive/wallet/current/Linux/w");
    fs::create_symlink("/nonexistent", folder + "/archive/dangling");
    fs::create_directory_symlink(outside, folder + "/elsewhere");  // not where wget writes

    const net::LinkSweep sweep = net::removeLinksBelow(folder, "archive");
    EXPECT_EQ(sweep.problem, "");
    std::set<std::string> removed(sweep.removed.begin(), sweep.removed.end());
    EXPECT_EQ(removed, (std::set<std::string>{folder + "/archive/dangling",
                                              folder + "/archive/wallet/current/extras",
                                              folder + "/archive/wallet/current/Linux/w"}));
    EXPECT_TRUE(fs::is_regular_file(folder + "/archive/wallet/current/wallet.ico"));
    EXPECT_TRUE(fs::is_regular_file(outside + "/keep.desktop"));
    EXPECT_TRUE(fs::is_symlink(folder + "/elsewhere"));

    // The top itself a link: removed, its target untouched; no top yet: nothing to do.
    fs::create_directory_symlink(outside, folder + "/current");
    EXPECT_EQ(net::removeLinksBelow(folder, "current").removed,
              std::vector<std::string>{folder + "/current"});
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder + "/current")));
    EXPECT_TRUE(fs::is_regular_file(outside + "/keep.desktop"));
    EXPECT_TRUE(net::removeLinksBelow(folder, "current").removed.empty());
}

TEST(DownloadLock, OneDownloadAtATimeAndAStaleLockIsTakenOver) {
    ScopedTempDir dir;
    const std::string lockFile = dir / net::kDownloadLockName;
    // A lock file that nobody holds any more (its installer was killed): taken over.
    writeFileBytes(lockFile, "999999\n");
    {
        net::DownloadLock first;
        EXPECT_EQ(first.take(dir.path()), std::nullopt);
        EXPECT_EQ(readFileBytes(lockFile), std::to_string(getpid()) + "\n");
        net::DownloadLock second;
        EXPECT_EQ(second.take(dir.path()),
                  "Download Busy (Process " + std::to_string(getpid()) + ")");
        EXPECT_FALSE(second.held());
    }
    EXPECT_FALSE(fs::exists(lockFile));  // released: removed

    // An installer killed during its download (no destructor ran) whose wget lives on: the
    // wget's inherited descriptor keeps the lock held, and the next run is refused until the
    // wget has ended too.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t installer = fork();
    if (installer == 0) {
        net::DownloadLock lock;
        if (lock.take(dir.path())) _exit(1);
        lock.shareWithChildren(true);
        const pid_t wget = fork();
        if (wget == 0) {
            pause();
            _exit(0);
        }
        char pidText[16];
        const int n = std::snprintf(pidText, sizeof pidText, "%d", static_cast<int>(wget));
        (void)!write(ready[1], pidText, n);
        _exit(0);  // as if killed: the lock file stays
    }
    waitpid(installer, nullptr, 0);
    char text[32] = {0};
    ASSERT_GT(read(ready[0], text, sizeof text - 1), 0);
    const pid_t wget = static_cast<pid_t>(std::atol(text));
    ASSERT_GT(wget, 0);
    {
        net::DownloadLock next;
        EXPECT_EQ(next.take(dir.path()),
                  "Download Busy (Process " + std::to_string(installer) + ")");
    }
    kill(wget, SIGKILL);  // its descriptors close as it dies: the lock is stale then
    std::optional<std::string> refusal = "not tried";
    for (int i = 0; i < 200 && refusal; ++i) {
        net::DownloadLock next;
        refusal = next.take(dir.path());
        if (refusal) usleep(10000);
    }
    EXPECT_EQ(refusal, std::nullopt);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(net::lockHolderOf("1234\n"), 1234);
    EXPECT_EQ(net::lockHolderOf("x"), std::nullopt);
}

}  // namespace
