// Whole-file access: creation of missing files, private (0600) files that are never wider,
// and the fatal end when a file can be neither opened nor created.
#include "config/whole_file.h"

#include <sys/stat.h>

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

TEST(JoinPath, SeparatorsAndAbsoluteNames) {
    EXPECT_EQ(joinPath("/home/u", "a.cfg"), "/home/u/a.cfg");
    EXPECT_EQ(joinPath("/home/u/", "a.cfg"), "/home/u/a.cfg");
    EXPECT_EQ(joinPath("/home/u", "/etc/x"), "/etc/x");
    EXPECT_EQ(joinPath("", "a.cfg"), "a.cfg");
}

}  // namespace
