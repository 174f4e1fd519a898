// The quoting helpers and the elevated runner: plain values stay as they are, everything
// else reaches the program as one intact argument, and the password only travels on stdin.
#include "host/shell.h"

#include <sys/stat.h>

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
        EXPECT_EQ(fake.commands[0].commandLine, "sudo -kS chmod 777 /tmp/x");
        EXPECT_EQ(fake.commands[0].input, password + "\n");
        EXPECT_EQ(fake.commands[0].commandLine.find(password), std::string::npos);
    }
    EXPECT_EQ(elevatedCommandLine("rm -f a"), "sudo -kS rm -f a");
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

TEST_F(ElevatedRunner, ElevatedCommandReallyGetsThePasswordOnStdin) {
    // Through the real shell: a stand-in for sudo that prints what it read and its arguments.
    ScopedTempDir tmp;
    writeFileBytes(tmp / "sudo",
                   "#!/bin/sh\nread -r line\nprintf '%s|%s' \"$line\" \"$*\" > out\n");
    chmod((tmp / "sudo").c_str(), 0755);
    fs::current_path(tmp.path());
    fake.onRun = [&](const RecordedCommand& c) {
        return realPlatform().run("PATH=" + tmp.path() + ":$PATH; " + c.commandLine,
                                  CommandOptions{c.input, c.cLocale, 0, {}});
    };
    S().SUDOPASSWORD = "a'b\"c $(touch canary) `touch canary`";
    runElevated("chmod 777 " + shellQuote("my folder"));
    EXPECT_EQ(readFileBytes(tmp / "out"), S().SUDOPASSWORD + "|-kS chmod 777 my folder");
    EXPECT_FALSE(fs::exists(tmp / "canary"));
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
