// The commands' words and the pieces of their output.
#include "app/commands.h"

#include <gtest/gtest.h>

namespace {

TEST(Commands, WordsAreReadPerCommandAndUnknownOnesAreUsageErrors) {
    struct Case {
        std::vector<std::string_view> args;
        std::string path, user, error;
        bool noPackages, allUsers, keepRecord, json, dryRun;
    };
    const Case cases[] = {
        {{"install"}, "", "", "", false, false, false, false, false},
        {{"install", "--path", "/opt/w", "--no-packages", "--all-users", "--dry-run"},
         "/opt/w", "", "", true, true, false, false, true},
        {{"install", "--path=/opt/w", "--user=tester"}, "/opt/w", "tester", "", false, false,
         false, false, false},
        {{"uninstall", "--keep-record", "--path", "x"}, "x", "", "", false, false, true, false,
         false},
        {{"scan", "--json"}, "", "", "", false, false, false, true, false},
        {{"install", "--path"}, "", "", "--path needs a value", false, false, false, false, false},
        {{"scan", "--path", "x"}, "", "", "scan: unrecognised argument '--path'", false, false,
         false, false, false},
        {{"uninstall", "--all-users"}, "", "", "uninstall: unrecognised argument '--all-users'",
         false, false, false, false, false},
        {{"install", "extra"}, "", "", "install: unrecognised argument 'extra'", false, false,
         false, false, false},
    };
    for (const Case& k : cases) {
        const Command c = parseCommand(k.args);
        const std::string what = std::string(k.args[0]) + " (" + std::to_string(k.args.size()) + ")";
        EXPECT_EQ(c.error, k.error) << what;
        if (!k.error.empty()) continue;
        EXPECT_EQ(c.path, k.path) << what;
        EXPECT_EQ(c.user, k.user) << what;
        EXPECT_EQ((std::vector<bool>{c.noPackages, c.allUsers, c.keepRecord, c.json, c.dryRun}),
                  (std::vector<bool>{k.noPackages, k.allUsers, k.keepRecord, k.json, k.dryRun}))
            << what;
    }
}

TEST(Commands, JsonStringsHoldEveryNameAsValidJson) {
    const std::pair<std::string, std::string> cases[] = {
        {"/media/usb/wallet", "\"/media/usb/wallet\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"new\nline\x1b\x7f", "\"new\\u000aline\\u001b\\u007f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80\""},
        {"bad\xff\xc3(\xed\xa0\x80", "\"bad\\ufffd\\ufffd(\\ufffd\\ufffd\\ufffd\""},
        {"cut\xe2\x82", "\"cut\\ufffd\\ufffd\""},
    };
    for (const auto& [text, json] : cases) EXPECT_EQ(jsonString(text), json) << text;
    // A step line keeps to one line whatever the name holds.
    EXPECT_EQ(stepLine("[ ok ]", "removed /a\nb"), "[ ok ] removed /a\\nb\n");
}

}  // namespace
