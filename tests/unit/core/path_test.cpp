// The two path rules every layer builds paths with: trailing separators and joining.
#include "core/path.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

TEST(Path, TrailingSlashesGoButTheRootStays) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"/", "/"},
        {"//", "/"},
        {"/home/u", "/home/u"},
        {"/home/u/", "/home/u"},
        {"/m/My Disk/wallet///", "/m/My Disk/wallet"},
        {"rel/", "rel"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(withoutTrailingSlash(path), expected) << path;
}

TEST(Path, JoinPutsOneSeparatorBetweenFolderAndName) {
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/home/u", "wallet", "/home/u/wallet"},
        {"/home/u/", "wallet", "/home/u/wallet"},
        {"/", "archive-keyring.gpg", "/archive-keyring.gpg"},
        {"", "tempout.txt", "tempout.txt"},  // no folder known: the name alone
        {"start", "a/b", "start/a/b"},
        {"/home/u", "/etc/x", "/etc/x"},  // a whole path already
    };
    for (const auto& [folder, name, expected] : cases)
        EXPECT_EQ(joinPath(folder, name), expected) << folder << " + " << name;
}
