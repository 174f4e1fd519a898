// Package provisioning: the command list (terminals, four groups, counts, order, the kernel
// headers substitution, the debconf line), the headings, pauses and the password prompt.
#include "provision/provisioning.h"

#include <regex>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

class Provisioning : public WithFakePlatform {
protected:
    std::vector<std::string> aptPackages() const {
        std::vector<std::string> v;
        const std::string prefix = kSudo + "apt-get -y install ";
        for (const auto& c : fake.commandLines()) {
            if (c.rfind(prefix, 0) == 0) v.push_back(c.substr(prefix.size()));
        }
        return v;
    }
};

TEST_F(Provisioning, GroupsInOrderWithTheirCounts) {
    const auto& g = provision::packageGroups();
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[0].packages.size(), 13u);
    EXPECT_EQ(g[1].packages.size(), 41u);
    EXPECT_EQ(g[2].packages.size(), 2u);
    EXPECT_EQ(g[3].packages.size(), 26u);
    EXPECT_EQ(g[0].packages.front(), "libncurses5:i386");
    EXPECT_EQ(g[0].packages.back(), "libc6:i386");
    EXPECT_EQ(g[1].packages[35], "linux-headers-$(uname -r)");
    EXPECT_EQ(g[1].packages.back(), "libglvnd-dev");
    EXPECT_EQ(g[3].packages.back(), "gvfs");
}

// apt-get locates a package only by its exact Debian name: lower-case letters, digits and
// "+-.", optionally followed by ":architecture".
TEST_F(Provisioning, EveryPackageIsNamedAsAptKnowsIt) {
    const std::regex debianName("[a-z0-9][a-z0-9+.-]+(:[a-z0-9]+)?");
    for (const auto& group : provision::packageGroups()) {
        for (const auto& package : group.packages) {
            // The two documented argument strings that are not one plain name.
            if (package == "linux-headers-$(uname -r)" ||
                package == "dpkg-reconfigure ttf-mscorefonts-installer") {
                continue;
            }
            EXPECT_TRUE(std::regex_match(package, debianName)) << package;
        }
    }
}

TEST_F(Provisioning, AllTerminalsPresentRunsEightyTwoInstallsAndTheDebconfLine) {
    S().SUDOPASSWORD = "pw";
    S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = "mate-terminal";
    fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                "/usr/bin/xfce4-terminal"};
    PROCESSCHECK64();
    auto lines = fake.commandLines();
    ASSERT_EQ(lines.size(), 83u);
    auto apt = aptPackages();
    ASSERT_EQ(apt.size(), 82u);
    EXPECT_EQ(apt[0], "libncurses5:i386");
    EXPECT_EQ(apt[13], "binutils");
    EXPECT_EQ(apt[13 + 35], "linux-headers-$(uname -r)");
    EXPECT_EQ(apt[54], "dpkg-reconfigure ttf-mscorefonts-installer");
    EXPECT_EQ(apt[55], "ttf-mscorefonts-installer");
    EXPECT_EQ(apt[56], "curl");
    // The licence answer comes right before the font group, password on sudo's stdin.
    EXPECT_EQ(lines[54],
              kSudo +
                  "sh -c 'echo ttf-mscorefonts-installer "
                  "msttcorefonts/accepted-mscorefonts-eula select true | debconf-set-selections'");
    for (const auto& c : fake.commands) EXPECT_EQ(c.input, std::optional<std::string>("pw\n"));
    EXPECT_EQ(S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME, "mate-terminal");
    // No prompt; three headings in order, each followed by its 5-second pause.
    EXPECT_TRUE(fake.lineEchoes.empty());
    auto a = fake.screen.find(" \n INSTALLING 32BIT LIBRARIES - PLEASE WAIT");
    auto b = fake.screen.find(" INSTALLING 64BIT LIBRARIES - PLEASE WAIT");
    auto d = fake.screen.find("\nINSTALLING PROGRAMS - PLEASE WAIT");
    EXPECT_NE(a, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, d);
    EXPECT_EQ(fake.sleptMs, 0);  // pauses wait for keys, not sleep
}

TEST_F(Provisioning, EachHeadingShowsWhichPackageOfItsGroupIsInstalling) {
    S().SUDOPASSWORD = "pw";
    fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                "/usr/bin/xfce4-terminal"};
    // What stands after the last "package" when each apt-get starts.
    std::vector<std::string> shown;
    fake.onRun = [&](const RecordedCommand& c) {
        if (c.commandLine.find("apt-get") == std::string::npos) return 0;
        const auto at = fake.screen.rfind("  package ");
        shown.push_back(at == std::string::npos
                            ? ""
                            : fake.screen.substr(at, fake.screen.find_first_of("\x1b\n", at) - at));
        // From the programs' group on, the output reaches the last row and scrolls.
        if (c.commandLine.ends_with(" curl")) fake.cursorReply = {24, 1};
        return 0;
    };
    PROCESSCHECK64();
    std::vector<std::string> expected;
    for (int i = 1; i <= 13; ++i) expected.push_back("  package " + std::to_string(i) + " of 13");
    for (int i = 1; i <= 41; ++i) expected.push_back("  package " + std::to_string(i) + " of 41");
    expected.insert(expected.end(), 2, "  package 41 of 41");  // the font group has no heading
    for (int i = 1; i <= 26; ++i) expected.push_back("  package " + std::to_string(i) + " of 26");
    EXPECT_EQ(shown, expected);
    // In place beside a heading that is still where it was printed (row 1 after a clear)...
    EXPECT_NE(fake.screen.find("\x1b"
                               "7\x1b[1;42H  package 1 of 41\x1b"
                               "8"),
              std::string::npos);
    // ...and printed again with the heading once output may have scrolled it away.
    EXPECT_NE(fake.screen.find("INSTALLING PROGRAMS - PLEASE WAIT  package 2 of 26\n"),
              std::string::npos);
}

TEST_F(Provisioning, MissingTerminalsAreInstalledAndTheLastOneWins) {
    struct Row {
        std::set<std::string> present;
        std::vector<std::string> installed;
        std::string current;
    };
    const Row rows[] = {
        {{"/usr/bin/xterm", "/usr/bin/xfce4-terminal"}, {"gnome-terminal"}, "gnome-terminal"},
        {{}, {"xterm", "gnome-terminal", "xfce4-terminal"}, "xfce4-terminal"},
        {{"/usr/bin/gnome-terminal", "/usr/bin/xfce4-terminal"}, {"xterm"}, "xterm"},
    };
    for (const Row& r : rows) {
        resetSharedState();
        fake.commands.clear();
        S().SUDOPASSWORD = "pw";
        fake.existingSystemPaths = r.present;
        PROCESSCHECK64();
        auto apt = aptPackages();
        EXPECT_EQ(std::vector<std::string>(apt.begin(), apt.begin() + r.installed.size()),
                  r.installed);
        EXPECT_EQ(apt.size(), 82u + r.installed.size());
        EXPECT_EQ(S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME, r.current);
        EXPECT_EQ(S().DEFAULTTERMINALEMULATOREXECUTABLEFILENAME, r.current);
    }
}

TEST_F(Provisioning, EmptyPasswordIsAskedWithoutEchoAndPausesEndOnAKey) {
    fake.lines.push_back("typed pw");
    fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                "/usr/bin/xfce4-terminal"};
    fake.pressKey("x");  // ends the first pause at once
    PROCESSCHECK64();
    EXPECT_NE(fake.screen.find("ENTER YOUR SUDO PASSWORD TO CONTINUE "), std::string::npos);
    EXPECT_EQ(fake.lineEchoes, std::vector<bool>{false});
    EXPECT_EQ(S().SUDOPASSWORD, "typed pw");
    EXPECT_EQ(fake.commands.back().input, std::optional<std::string>("typed pw\n"));
}

}  // namespace
