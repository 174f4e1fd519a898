// The closing summary: what it lists, how long lines wrap within 80 columns, and its pages.
#include "install/summary.h"

#include "core/screen.h"
#include "test_support.h"

namespace {

using install::failed;
using install::skipped;

TEST(InstallationSummary, NamesEveryFailedAndSkippedStepWithinEightyColumns) {
    install::Installation in;
    EXPECT_TRUE(install::summaryLines(in, "").empty());  // nothing to say: the texts as ever
    const std::string deep = "/home/user/" + std::string(90, 'd') + "/miniupnpc18.deb";
    in.results = {failed("install package", deep, "dpkg -i exit status 1"),
                  failed("system package", "dkms", "apt-get exit status 100"),
                  skipped("system package", "lib32ncurses5", "needs the i386 architecture")};
    in.results[0].stops = false;
    in.alreadyInstalled = 41;
    const auto lines = install::summaryLines(in, "/opt/installer/runlog.txt");
    const std::vector<std::string> want = {
        " INSTALLATION FINISHED WITH PROBLEMS: 2 FAILED, 1 SKIPPED",
        " ",
        // A path without blanks is cut where the row is full; the rest breaks at a blank.
        (" FAILED  install package: " + deep).substr(0, 80),
        "         " + (" FAILED  install package: " + deep).substr(80) + " (dpkg",
        "         -i exit status 1)",
        " FAILED  system package: dkms (apt-get exit status 100)",
        " SKIPPED system package: lib32ncurses5 (needs the i386 architecture)",
        " ",
        " 41 packages already installed",
        " ",
        " Run log: /opt/installer/runlog.txt",
    };
    EXPECT_EQ(lines, want);
    for (const auto& l : lines) EXPECT_LE(l.size(), kScreenColumns) << l;

    in.results = {skipped("copy wget", "/h/wget", "source and target are the same file")};
    in.alreadyInstalled = 0;
    EXPECT_EQ(install::summaryLines(in, "").front(), " INSTALLATION SUMMARY: 1 SKIPPED");
}

TEST(InstallationSummary, LongSummariesArePagedWithAKeyLineOnEachPage) {
    // 21 lines on the first page, 20 under the further pages' title.
    const std::pair<std::size_t, std::size_t> cases[] = {
        {1, 1}, {21, 1}, {22, 2}, {41, 2}, {42, 3}};
    for (const auto& [count, pages] : cases) {
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < count; ++i) lines.push_back(" line " + std::to_string(i));
        const auto got = install::summaryPages(lines);
        ASSERT_EQ(got.size(), pages) << count;
        std::vector<std::string> shown;
        for (std::size_t p = 0; p < got.size(); ++p) {
            ASSERT_EQ(got[p].size(), 23u);  // an 80x24 terminal never scrolls
            EXPECT_EQ(got[p][22], p + 1 < pages
                                      ? " > PRESS ANY KEY FOR MORE (PAGE " + std::to_string(p + 1) +
                                            " OF " + std::to_string(pages) + ")"
                                      : " > PRESS ANY KEY TO GO BACK TO THE MENU");
            if (p > 0) {
                EXPECT_EQ(got[p][0], " INSTALLATION SUMMARY (CONTINUED)");
            }
            shown.insert(shown.end(), got[p].begin() + (p > 0 ? 1 : 0), got[p].begin() + 21);
        }
        shown.resize(count);
        EXPECT_EQ(shown, lines);
    }
}

}  // namespace
