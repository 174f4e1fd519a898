// The quoting helpers and the elevated runner: plain values stay as they are, everything
// else reaches the program as one intact argument, and the password only travels on stdin.
#include "host/shell.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string>& hostileValues() {
    static const std::vector<std::string> values = {"x; rm -rf ~",
                                                    "it's",
                                                    "say \"hi\"",
                                                    "$(touch canary)",
                                                    "`touch canary`",
                                                    "a b",
                                                    "back\\sl",
                                                    "$HOME",
                                                    "new\nline",
                                                    "*",
                                                    "~",
                                                    "-n",
                                                    "!bang",
                                                    "tab\tx",
                                                    "a'\"'\"b",
                                                    "trailing\\",
                                                    "'",
                                                    "\"",
                                                    "$",
                                                    "%s%n",
                                                    "",
                                                    "ü-Ordner",
                                                    "x && y",
                                                    "x|y>z<w",
                                                    "#comment"};
    return values;
}

TEST(ShellQuote, PlainValuesStayAndOthersAreSingleQuoted) {
    struct Case {
        std::string value, quoted;
    };
    const std::vector<Case> cases = {
        {"/home/u/wallet-1.2_x", "/home/u/wallet-1.2_x"},
        {"user@host:+=%,", "user@host:+=%,"},
        {"a b", "'a b'"},
        {"it's", "'it'\\''s'"},
        {"$HOME", "'$HOME'"},
        {"a\nb", "'a\nb'"},
        {"", "''"},
        {"x;y", "'x;y'"},
        {"~", "'~'"},
    };
    for (const auto& c : cases) EXPECT_EQ(shellQuote(c.value), c.quoted) << c.value;
}

TEST(ShellQuote, HostileValuesRoundTripThroughTheShell) {
    for (const auto& value : hostileValues()) {
        EXPECT_EQ(shellOutput("/bin/sh -c 'printf %s \"$0\"' " + shellQuote(value)), value)
            << value;
        EXPECT_EQ(shellOutput("printf %s " + shellQuote(value)), value) << value;
    }
}

TEST(DoubleQuoteEscape, ValuesRoundTripInsideDoubleQuotes) {
    EXPECT_EQ(doubleQuoteEscape("/plain/path"), "/plain/path");
    EXPECT_EQ(doubleQuoteEscape("a\"b\\c$d`e"), "a\\\"b\\\\c\\$d\\`e");
    for (const auto& value : hostileValues()) {
        EXPECT_EQ(shellOutput("printf %s \"" + doubleQuoteEscape(value) + "\""), value) << value;
    }
}

class ElevatedRunner : public WithFakePlatform {};

TEST_F(ElevatedRunner, PasswordGoesOnStdinNeverOnTheCommandLine) {
    for (const std::string password : {"plain", "x; rm -rf ~", "$(id)", "it's \"q\""}) {
        fake.commands.clear();
        S().SUDOPASSWORD = password;
        runElevated("chmod 777 /tmp/x");
        ASSERT_EQ(fake.commands.size(), 1u);
        EXPECT_EQ(fake.commands[0].commandLine, kSudo + "chmod 777 /tmp/x");
        EXPECT_EQ(fake.commands[0].input, password + "\n");
        EXPECT_EQ(fake.commands[0].commandLine.find(password), std::string::npos);
    }
    EXPECT_EQ(elevatedCommandLine("rm -f a"), kSudo + "rm -f a");
}

TEST_F(ElevatedRunner, OnlyThePasswordLineIsFed) {
    EXPECT_EQ(elevatedInput("pw"), "pw\n");
    EXPECT_EQ(elevatedInput(""), "\n");
    EXPECT_EQ(elevatedInput("pw\nrm -rf ~\n"), "pw\n");
    EXPECT_EQ(elevatedInput("pw\r\nmore"), "pw\n");
    S().SUDOPASSWORD = std::string("first\nsecond");
    runElevated("apt-get install -y x");
    ASSERT_EQ(fake.commands.size(), 1u);
    EXPECT_EQ(fake.commands[0].input, std::string("first\n"));
}

// Through the real shell, with stand-ins for sudo: one that reads the password line (as sudo
// -S does when it asks) and one that asks nobody (a NOPASSWD rule, a fingerprint) and runs the
// command at once. Either way the command reads nothing: the password reaches sudo or nobody.
TEST_F(ElevatedRunner, PasswordReachesSudoOrNobodyNeverTheCommand) {
    struct Case {
        const char* name;
        const char* sudo;
        const char* sudoRead;
    } cases[] = {
        {"asks",
         "#!/bin/sh\nread -r line\nprintf '%s' \"$line\" > read-by-sudo\nshift\nexec \"$@\"\n",
         "a'b\"c $(touch canary) `touch canary`"},
        {"asks nobody", "#!/bin/sh\nshift\nexec \"$@\"\n", ""},
    };
    for (const auto& c : cases) {
        ScopedTempDir tmp;
        writeFileBytes(tmp / "sudo", c.sudo);
        writeFileBytes(tmp / "read-by-sudo", "");
        chmod((tmp / "sudo").c_str(), 0755);
        fs::current_path(tmp.path());
        fake.onRun = [&](const RecordedCommand& rc) {
            return realPlatform().run("PATH=" + tmp.path() + ":$PATH; " + rc.commandLine,
                                      CommandOptions{rc.input, rc.cLocale});
        };
        S().SUDOPASSWORD = "a'b\"c $(touch canary) `touch canary`";
        runElevated("cat > " + shellQuote("read by command"));
        EXPECT_EQ(readFileBytes(tmp / "read-by-sudo"), c.sudoRead) << c.name;
        EXPECT_EQ(readFileBytes(tmp / "read by command"), "") << c.name;
        EXPECT_FALSE(fs::exists(tmp / "canary")) << c.name;
        fs::current_path("/");
    }
}

TEST_F(ElevatedRunner, LocaleIsPassedOnOnlyWhenAsked) {
    S().SUDOPASSWORD = "pw";
    runElevated("df -h");
    runElevated("df -h", true);
    ASSERT_EQ(fake.commands.size(), 2u);
    EXPECT_FALSE(fake.commands[0].cLocale);
    EXPECT_TRUE(fake.commands[1].cLocale);
}

}  // namespace

namespace {

// Without a pipe for its input a command would read the terminal instead (sudo would wait
// there for the password): it must not start at all.
TEST(CommandRunner, ACommandWhoseInputCannotBeHandedOverIsNotStarted) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Once with descriptors to spare (the sanitizers look the platform's type up then).
        if (realPlatform().run("exit 3", CommandOptions{}) != 3) _exit(3);
        // One descriptor is left: enough for the shell to start, too few for a pipe.
        const int lowestFree = open("/dev/null", O_RDONLY);
        close(lowestFree);
        const struct rlimit limit {
            static_cast<rlim_t>(lowestFree + 1), static_cast<rlim_t>(lowestFree + 1)
        };
        setrlimit(RLIMIT_NOFILE, &limit);
        CommandOptions options;
        options.input = "secret\n";
        _exit(realPlatform().run("exit 42", options) & 0xff);
    }
    int ws = 0;
    ASSERT_EQ(waitpid(pid, &ws, 0), pid);
    ASSERT_TRUE(WIFEXITED(ws)) << ws;
    EXPECT_EQ(WEXITSTATUS(ws), 127);
}

// The folder a command is given is the one it runs in, and the installer's own stays; a
// folder that cannot be entered runs nothing at all (not in some other folder).
TEST(CommandRunner, ACommandRunsInItsOwnFolderOrNotAtAll) {
    ScopedTempDir tmp;
    fs::create_directory(tmp / "given");
    fs::create_directory(tmp / "start");
    fs::current_path(tmp / "start");
    const struct {
        std::string folder;
        int status;
        std::string ranIn;  // where the command left its mark; "" for nowhere
    } cases[] = {
        {tmp / "given", 0, tmp / "given"},
        {"", 0, tmp / "start"},
        {tmp / "missing", 127, ""},
        {tmp / "start/../given", 0, tmp / "given"},
    };
    for (const auto& c : cases) {
        fs::remove(tmp / "given/mark");
        fs::remove(tmp / "start/mark");
        CommandOptions options;
        options.workingFolder = c.folder;
        EXPECT_EQ(realPlatform().run("pwd -P > mark", options), c.status) << c.folder;
        EXPECT_EQ(fs::current_path(), tmp / "start") << c.folder;
        const std::string given = readFileBytes(tmp / "given/mark");
        const std::string start = readFileBytes(tmp / "start/mark");
        EXPECT_EQ(given + start, c.ranIn.empty() ? "" : c.ranIn + "\n") << c.folder;
    }
}

}  // namespace
