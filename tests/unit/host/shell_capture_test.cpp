// The shell captures, run for real through /bin/sh in a temporary program folder.
#include "host/shell_capture.h"

#include <sys/utsname.h>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

class ShellCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetSharedState();
        S().THISPROGRAMEXECUTABLEFILEPATH = dir.path();
    }
    void TearDown() override { resetSharedState(); }
    std::string capture(const std::string& cmd) {
        S().COMMANDLINEINPUT = cmd;
        PIPECOMMANDLINEOUTPUTINTOVARIABLE();
        return S().COMMANDLINEOUTPUT;
    }
    ScopedTempDir dir;
};

TEST_F(ShellCaptureTest, KernelReleaseComesBackWithItsLineFeed) {
    struct utsname u {};
    uname(&u);
    EXPECT_EQ(capture("uname -r"), std::string(u.release) + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "tempout.txt"));
}

TEST_F(ShellCaptureTest, StaleScratchFileIsNeverReadAsOutput) {
    writeFileBytes(dir / "tempout.txt", "stale output\n");
    EXPECT_EQ(capture("true"), "");
    writeFileBytes(dir / "tempout.txt", "stale output\n");
    EXPECT_EQ(capture("no-such-command-here 2>/dev/null"), "");
}

TEST_F(ShellCaptureTest, OnlyBlanksAreTrimmedAndZeroBytesDropped) {
    EXPECT_EQ(capture("printf '  \\n a b \\n  '"), "\n a b \n");
    EXPECT_EQ(capture("printf 'a\\000b\\000'"), "ab");
    EXPECT_EQ(cleanCapturedOutput("   "), "");
    EXPECT_EQ(cleanCapturedOutput(std::string("\0 x\0 ", 5)), "x");
}

TEST_F(ShellCaptureTest, RunsInTheProgramFolderWithTheCLocaleAndComesBack) {
    ScopedTempDir elsewhere;
    std::filesystem::current_path(elsewhere.path());
    EXPECT_EQ(capture("{ pwd; echo $LC_ALL; }"), dir.path() + "\nC\n");
    EXPECT_EQ(std::filesystem::current_path().string(), elsewhere.path());
}

}  // namespace
