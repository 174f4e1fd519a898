// Whole-file access: creation of missing files, private (0600) files that are never wider,
// and the fatal end when a file can be neither opened nor created.
#include "host/whole_file.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "test_support.h"

namespace {

// Runs with umask 0, so any mode narrower than 0666 comes from the code, not the umask.
class WholeFile : public ::testing::Test {
protected:
    void SetUp() override { saved_ = umask(0); }
    void TearDown() override { umask(saved_); }
    ScopedTempDir dir;

private:
    mode_t saved_ = 0;
};

TEST_F(WholeFile, ReadCreatesMissingFileEmptyWithTheAskedMode) {
    EXPECT_EQ(readWholeFile(dir / "a.cfg"), "");
    EXPECT_EQ(modeOf(dir / "a.cfg"), 0666u);
    EXPECT_EQ(readWholeFile(dir / "hash.txt", FileMode::Private), "");
    EXPECT_EQ(modeOf(dir / "hash.txt"), 0600u);
}

TEST_F(WholeFile, PrivateWriteReplacesAWiderFile) {
    writeFileBytes(dir / "hash.txt", "old");
    chmod((dir / "hash.txt").c_str(), 0644);
    writeWholeFile(dir / "hash.txt", "new", FileMode::Private);
    EXPECT_EQ(modeOf(dir / "hash.txt"), 0600u);
    EXPECT_EQ(readFileBytes(dir / "hash.txt"), "new");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(WholeFile, NormalWriteKeepsAnExistingMode) {
    writeFileBytes(dir / "s.txt", "x");
    chmod((dir / "s.txt").c_str(), 0600);
    writeWholeFile(dir / "s.txt", "longer content");
    EXPECT_EQ(modeOf(dir / "s.txt"), 0600u);
    EXPECT_EQ(readFileBytes(dir / "s.txt"), "longer content");
}

TEST_F(WholeFile, EnsurePrivateFileCreatesOrNarrowsKeepingContent) {
    ensurePrivateFile(dir / "new.txt");
    EXPECT_EQ(modeOf(dir / "new.txt"), 0600u);
    EXPECT_EQ(readFileBytes(dir / "new.txt"), "");
    writeFileBytes(dir / "wide.txt", "password=1\r\n");
    chmod((dir / "wide.txt").c_str(), 0664);
    ensurePrivateFile(dir / "wide.txt");
    EXPECT_EQ(modeOf(dir / "wide.txt"), 0600u);
    EXPECT_EQ(readFileBytes(dir / "wide.txt"), "password=1\r\n");
}

TEST_F(WholeFile, FileThatCanBeNeitherOpenedNorCreatedIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(readWholeFile(dir / "no/such/folder/a.cfg"), ::testing::ExitedWithCode(1), "a.cfg");
    EXPECT_EXIT(writeWholeFile(dir / "no/such/folder/a.cfg", "x"), ::testing::ExitedWithCode(1),
                "a.cfg");
}

// A profile of n records, each line different from the same line of another round.
std::string profileOf(std::size_t n, char round) {
    std::string out;
    out.reserve(n * 48);
    for (std::size_t i = 0; i < n; ++i)
        out += "storageDirectAccessScsiDrive" + std::to_string(i) + "Name=" + round + "dev\r\n";
    return out;
}

TEST_F(WholeFile, KillDuringALargeRewriteLeavesTheOldFileOrTheNewOneWhole) {
    const std::string path = dir / "installWalletForLinux.cfg";
    const std::string before = profileOf(100000, 'a'), after = profileOf(100000, 'b');
    // Kills land from the very start of the write to well past its end, so that most land
    // in the middle of it.
    auto started = std::chrono::steady_clock::now();
    writeFileBytes(path, before);
    writeWholeFile(path, before);
    const auto oneWrite = std::chrono::steady_clock::now() - started;
    int keptOld = 0;
    for (int attempt = 0; attempt < 24; ++attempt) {
        writeFileBytes(path, before);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            writeWholeFile(path, after);
            ::_exit(0);
        }
        std::this_thread::sleep_for(oneWrite * attempt / 16);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = readFileBytes(path);
        ASSERT_TRUE(now == before || now == after)
            << "a kill after " << attempt << "/16 of a write left " << now.size() << " bytes";
        keptOld += now == before;
    }
    EXPECT_GT(keptOld, 0);
}

TEST_F(WholeFile, AFullDiskLeavesTheOldFileWholeAndEndsWithTheFileNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const std::string disk = dir / "disk";
    std::filesystem::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    const std::string path = disk + "/wallet.cfg";
    const std::string before = profileOf(1000, 'a');  // about 44 KiB
    writeFileBytes(path, before);
    // Room for the old file, not for a new one beside it.
    writeFileBytes(disk + "/filler", std::string(256 * 1024 - 2 * before.size() + 8192, 'x'));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(writeWholeFile(path, profileOf(1000, 'b')), ::testing::ExitedWithCode(1),
                "cannot open or create file .*wallet.cfg: No space left on device");
    EXPECT_EQ(readFileBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk), {}), 2);  // no leftover
    ::umount(disk.c_str());
}

TEST_F(WholeFile, ALinkIsNeitherReadNorWrittenThrough) {
    const std::string outside = dir / "outside.txt";
    writeFileBytes(outside, "kept\n");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* name : {"wallet.cfg", "dangling.cfg"}) {
        const std::string link = dir / name;
        ASSERT_EQ(::symlink(std::string(name) == "wallet.cfg" ? outside.c_str()
                                                              : (dir / "nowhere.txt").c_str(),
                            link.c_str()),
                  0);
        EXPECT_EXIT(writeWholeFile(link, "x=1\r\n"), ::testing::ExitedWithCode(1),
                    std::string(name) + ": a symbolic link stands there");
        EXPECT_EXIT(readWholeFile(link), ::testing::ExitedWithCode(1),
                    std::string(name) + ": a symbolic link stands there");
    }
    EXPECT_EQ(readFileBytes(outside), "kept\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere.txt"));
}

TEST_F(WholeFile, AFifoAtARecordPathEndsTheProgramInsteadOfWaitingForAWriter) {
    const std::string fifo = dir / "wallet.cfg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Nobody ever opens the FIFO for writing: the alarm ends a reader that waits for one.
    EXPECT_EXIT((::alarm(5), readWholeFile(fifo)), ::testing::ExitedWithCode(1),
                "wallet.cfg: not a regular file");
}

}  // namespace
