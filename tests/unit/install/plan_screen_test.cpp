// The plan before a root-level installation: what it lists for each variant, its question and
// the keys that answer it.
#include "install/plan_screen.h"

#include "core/text.h"
#include "install/summary.h"
#include "test_support.h"

namespace {

using install::PlanAnswer;
using install::Variant;

// The lines read as one text: a wrapped line goes on after a blank.
bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    std::string all;
    for (const auto& l : lines) all += " " + std::string(trimStart(l));
    return all.find(text) != std::string::npos;
}

TEST(PlanScreen, ListsWhatEachVariantLaysAndHandsToRootWithinTheScreen) {
    ScopedTempDir home;
    const std::string ip = home.path() + "/a very long folder name that forces the lines to wrap";
    install::InstallPlan a = install::installPlanFor(install::planFor(Variant::A, ip), home.path());
    provision::PackageOutlook o;
    o.toInstall = {"openssh-server", "curl"};
    o.alreadyInstalled = 9;
    o.unavailable = {{"ntp", provision::PackageState::NotAvailable, 0},
                     {"libc6:i386", provision::PackageState::NeedsI386, 0}};
    o.changes = {provision::systemChanges().front()};
    o.acceptsFontLicence = true;
    o.estimate = {30, 4, 1, {"systemd-timesyncd"}, "57.3 MB", "212 MB"};
    a.packages = o;
    const install::InstallPlan d =
        install::installPlanFor(install::planFor(Variant::D, ip), home.path());

    const auto linesA = install::planLines(a);
    const auto linesD = install::planLines(d);
    for (const auto* lines : {&linesA, &linesD}) {
        for (const auto& l : *lines) EXPECT_LE(l.size(), 80u) << l;
    }
    // Row 1 of every page keeps clear of the spinner's corner (columns 78 and 79).
    ASSERT_GT(linesA.size(), install::kSummaryPageLines);
    for (const auto& page : install::planPages(a))
        EXPECT_LT(page.front().size(), 77u) << page.front();
    for (const char* text :
         {"/wallet (made where missing): folders control/applications/wallet/tellerData",
          "files   wallet  wallet.ico  wallet.cfg  wallet.receipt", "into archive",
          "/Desktop/Corvane wallet.desktop", ".local/share/applications/Corvane wallet.desktop",
          "dpkg -i libminiupnpc18_2.2.8-2+b2_amd64.deb",
          "2 to install (30 new packages with what they need, 4 upgraded, download 57.3 MB",
          "and apt REMOVES 1 installed package for them: systemd-timesyncd", "9 already installed",
          "2 not available here",
          "1 with no install candidate on this "
          "system: ntp",
          "1 need the i386 architecture (dpkg --add-architecture i386, not run): "
          "libc6:i386",
          "ttf-mscorefonts-installer", "openssh-server: a service that listens"})
        EXPECT_TRUE(mentions(linesA, text)) << text;
    EXPECT_FALSE(mentions(linesA, "/usr/share/applications"));
    EXPECT_TRUE(mentions(linesD, "/usr/share/applications/Corvane wallet.desktop"));
    EXPECT_TRUE(mentions(linesD, "wallet.ico  control/applications/wallet/tellerData/tellers"));
    for (const char* text : {"dpkg -i", "System packages", "/Desktop/"})
        EXPECT_FALSE(mentions(linesD, text)) << text;

    // One line that ends in the keys it takes; only A can leave the system packages out.
    struct Answer {
        const install::InstallPlan* plan;
        const char* key;
        PlanAnswer answer;
    };
    for (const Answer& k :
         {Answer{&a, "y", PlanAnswer::Everything}, Answer{&a, "Y", PlanAnswer::Everything},
          Answer{&a, "f", PlanAnswer::WithoutSystemPackages},
          Answer{&a, "F", PlanAnswer::WithoutSystemPackages}, Answer{&a, "\r", PlanAnswer::Back},
          Answer{&a, "n", PlanAnswer::Back}, Answer{&a, "\x1b[A", PlanAnswer::Back},
          Answer{&d, "y", PlanAnswer::Everything}, Answer{&d, "f", PlanAnswer::Back},
          Answer{&d, "2", PlanAnswer::Back}})
        EXPECT_EQ(install::planAnswer(*k.plan, k.key), k.answer) << k.key;
    EXPECT_TRUE(install::planQuestion(a).ends_with("? [y/f/N]"));
    EXPECT_TRUE(install::planQuestion(d).ends_with("? [y/N]"));
    EXPECT_LE(install::planQuestion(a).size(), 80u);
}

}  // namespace
