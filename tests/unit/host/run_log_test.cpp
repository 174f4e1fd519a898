// The run log: what a run with logging on leaves in runlog.txt (each command with its status as
// it ran, each status text once, nothing masked, a private file), that nothing is added with
// logging off, that a deleted log stays so until the next command, and that a failed write or
// a runlog.txt that is no regular file turns logging off instead of ending or stalling.
#include "host/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <regex>

#include "console/console.h"
#include "host/shell.h"
#include "test_support.h"

namespace {

std::string regexEscaped(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

class RunLog : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = program.path();
    }
    std::string logPath() const { return program / "runlog.txt"; }
    ScopedTempDir program;
};

TEST_F(RunLog, CommandsAndStatusChangesAreAppendedPrivatelyAsTheyRan) {
    // Passwords whose text stands in ordinary words and paths: the log reads as it ran, with
    // nothing masked ("st********tus" told a reader where the password's letters were).
    for (const std::string password : {"a", "wallet", "pa ss'wd"}) {
        std::filesystem::remove(logPath());
        runMemory().log = {};  // as a new run begins
        S().SUDOPASSWORD = password;
        S().LOGGINGENABLED = 0;
        fake.commands.clear();
        fake.onRun = [](const RecordedCommand& c) { return c.commandLine == "false" ? 1 : 0; };
        runCommand("mkdir x");  // logging off: nothing
        EXPECT_FALSE(std::filesystem::exists(logPath()));

        S().LOGGINGENABLED = 1;
        runElevated("chmod a+x /home/tester/wallet/wallet");
        EXPECT_EQ(runCommand("false"), 1);
        console::showStatus("APPLICATION STATUS= Downloading Files");
        console::showStatus("APPLICATION STATUS= Downloading Files");  // unchanged: not again
        console::showStatus("APPLICATION STATUS= Awaiting user input");
        EXPECT_EQ(modeOf(logPath()), 0600u);

        S().LOGGINGENABLED = 0;
        const std::string before = readFileBytes(logPath());
        runCommand("rm -rf y");
        console::showStatus("APPLICATION STATUS= Installation Complete, Awating user input");
        EXPECT_EQ(readFileBytes(logPath()), before);

        // The elevated command reached sudo with the password on stdin only.
        ASSERT_EQ(fake.commands[1].input, password + "\n");
        EXPECT_EQ(before.find('*'), std::string::npos) << before;
        const std::string stamp = R"(2026-12-07T08:14:4\d )";
        const std::vector<std::string> expected = {
            stamp + R"(exit=0 duration=\d+\.\d{3}s command: )" +
                regexEscaped(elevatedCommandLine("chmod a+x /home/tester/wallet/wallet")),
            stamp + R"(exit=1 duration=\d+\.\d{3}s command: false)",
            stamp + R"(status: APPLICATION STATUS= Downloading Files)",
            stamp + R"(status: APPLICATION STATUS= Awaiting user input)",
        };
        std::vector<std::string> lines;
        std::istringstream in(before);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        ASSERT_EQ(lines.size(), expected.size()) << before;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i])))
                << password << ": " << lines[i];
    }
}

TEST_F(RunLog, ADeletedLogStaysDeletedUntilTheNextCommand) {
    S().LOGGINGENABLED = 1;
    runCommand("true");
    ASSERT_TRUE(std::filesystem::exists(logPath()));
    std::filesystem::remove(logPath());  // what key 4 of the advanced menu does
    console::showStatus("runlog.txt DELETED, Waiting for user input");
    console::showStatus("APPLICATION STATUS= Awaiting user input");
    EXPECT_FALSE(std::filesystem::exists(logPath())) << "a status made it again";

    runCommand("echo next");
    const std::string log = readFileBytes(logPath());
    const std::regex expected(
        "2026-12-07T08:14:4\\d status: runlog.txt DELETED, Waiting for user input\n"
        "2026-12-07T08:14:4\\d status: APPLICATION STATUS= Awaiting user input\n"
        "2026-12-07T08:14:4\\d exit=0 duration=\\d+\\.\\d{3}s command: echo next\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(RunLog, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    // A FIFO with nobody reading it, one with a reader (an ordinary open would wait for the
    // first and write into the second), and a folder.
    for (const std::string kind : {"fifo", "fifo with a reader", "folder"}) {
        std::filesystem::remove_all(logPath());
        runMemory().log = {};  // as a new run begins
        if (kind == "folder") {
            std::filesystem::create_directory(logPath());
        } else {
            ASSERT_EQ(mkfifo(logPath().c_str(), 0600), 0);
        }
        const int reader = kind == "fifo with a reader"
                               ? open(logPath().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                               : -1;
        S().LOGGINGENABLED = 1;
        S().APPLICATIONTEXTWALLETCURRENTSTATUS.clear();
        fake.onRun = [](const RecordedCommand&) { return 0; };
        EXPECT_EQ(runCommand("true"), 0) << kind;
        EXPECT_EQ(S().LOGGINGENABLED, 0) << kind;
        EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, runlog::kWriteFailedStatus) << kind;
        if (reader >= 0) {
            char buf[64];
            EXPECT_LE(read(reader, buf, sizeof buf), 0) << "nothing was written into the FIFO";
            close(reader);
        }
    }
}

TEST_F(RunLog, AFailedWriteTurnsLoggingOffAndSaysSoOnTheStatusLine) {
    // A link planted where the log belongs is never followed.
    const std::string target = program / "elsewhere";
    writeFileBytes(target, "kept\n");
    ASSERT_EQ(symlink(target.c_str(), logPath().c_str()), 0);
    S().LOGGINGENABLED = 1;
    fake.onRun = [](const RecordedCommand&) { return 5; };
    EXPECT_EQ(runCommand("true"), 5);  // the command ran and the program goes on
    EXPECT_EQ(S().LOGGINGENABLED, 0);
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS, runlog::kWriteFailedStatus);
    EXPECT_NE(fake.screen.find(std::string("\x1b[22;1H") + runlog::kWriteFailedStatus),
              std::string::npos);
    EXPECT_EQ(readFileBytes(target), "kept\n");
    runCommand("true");
    EXPECT_EQ(readFileBytes(target), "kept\n");
}

TEST(RunLogLines, OneCommandIsOneLineWhateverItHolds) {
    const LocalDateTime t{2027, 1, 2, 3, 4, 5, 678};
    EXPECT_EQ(runlog::commandLine(t, "printf 'a\nb\tc\x01'", 130, 61234),
              "2027-01-02T03:04:05 exit=130 duration=61.234s command: printf 'a\\nb\\tc\\x01'\n");
    EXPECT_EQ(runlog::statusLine(t, "FOUND 2 WALLETS"),
              "2027-01-02T03:04:05 status: FOUND 2 WALLETS\n");
}

TEST(CommandWait, TheTickerIsCalledWhileTheCommandRunsAndTheStatusStands) {
    int calls = 0;
    CommandOptions options;
    options.whileRunning = [&] {
        ++calls;
        return 40;
    };
    EXPECT_EQ(realPlatform().run("sleep 0.4; exit 7", options), 7);
    // Called at the start and about every 40 ms, without spinning.
    EXPECT_GE(calls, 5);
    EXPECT_LE(calls, 20);
}

}  // namespace
