// Package provisioning: the command list (lists refresh, one query, terminals, the four groups
// of package_list.def in order, the kernel headers name, the font line), what is not installed
// again or not attempted, the report of how each package ended, the headings, pauses and the
// password.
#include "provision/provisioning.h"

#include <map>
#include <regex>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

constexpr const char* kRelease = "6.1.0-test-amd64";
const std::string kHeaders = std::string("linux-headers-") + kRelease;

// The packages of a fake system as dpkg and apt tell them: the stand-in answers the queries
// through tempout.txt and the elevated apt-get runs with the exit status of the table.
struct FakeApt {
    std::set<std::string> installed;              // "name" or "name:i386"
    std::map<std::string, std::string> provides;  // installed package -> virtual name
    std::set<std::string> unavailable;            // no candidate
    std::map<std::string, std::string> virtuals;  // virtual name -> provider (no candidate)
    std::map<std::string, int> failing;           // apt-get exit status
    std::vector<std::string> foreign = {"i386"};
    int updateStatus = 0;
    bool aptAnswers = true;                    // false: apt-cache prints nothing
    std::map<std::string, int> commandStatus;  // other elevated commands

    static std::vector<std::string> namesAfter(const std::string& line, const std::string& verb) {
        std::vector<std::string> out;
        std::istringstream in(line.substr(line.find(verb) + verb.size()));
        for (std::string w; in >> w;) {
            if (w == ">" || w == "2>/dev/null") break;
            out.push_back(w);
        }
        return out;
    }
    static void answer(const RecordedCommand& c, const std::string& text) {
        writeFileBytes(c.cwd + "/tempout.txt", text);
    }

    int operator()(const RecordedCommand& c) {
        const std::string& line = c.commandLine;
        if (line.rfind("{ dpkg --print-architecture", 0) == 0) {
            std::string out = "amd64\n";
            for (const auto& a : foreign) out += a + "\n";
            answer(c, out);
        } else if (line.rfind("dpkg-query -W", 0) == 0) {
            std::string out;
            for (const auto& p : installed) {
                const auto colon = p.find(':');
                const std::string name = p.substr(0, colon);
                const std::string arch = colon == std::string::npos ? "amd64" : p.substr(colon + 1);
                const auto v = provides.find(p);
                out += name + " " + arch + " install ok installed|" +
                       (v == provides.end() ? "" : v->second + " (= 1.0)") + "\n";
            }
            out += "oldie amd64 deinstall ok config-files|\n";
            answer(c, out);
        } else if (line.rfind("apt-cache policy", 0) == 0) {
            std::string out;
            if (!aptAnswers) return 100;
            for (const auto& n : namesAfter(line, "policy")) {
                if ((n.ends_with(":i386") && foreign.empty()) || unavailable.count(n)) continue;
                const bool none = virtuals.count(n) != 0;
                out += n + ":\n  Installed: (none)\n  Candidate: " + (none ? "(none)" : "1.0-1") +
                       "\n  Version table:\n";
            }
            answer(c, out);
        } else if (line.rfind("apt-cache showpkg", 0) == 0) {
            std::string out;
            for (const auto& n : namesAfter(line, "showpkg")) {
                const auto v = virtuals.find(n);
                if (v == virtuals.end()) continue;
                out += "Package: " + n + "\nVersions: \n\nReverse Depends: \n  foo," + n +
                       "\nDependencies: \nProvides: \nReverse Provides: \n";
                if (!v->second.empty()) out += v->second + " 1.0-1 (= )\n";
            }
            answer(c, out);
        } else if (line.rfind("apt-get -y --print-uris install", 0) == 0) {
            const auto names = namesAfter(line, "install");
            answer(c, "0 upgraded, " + std::to_string(names.size() * 3) +
                          " newly installed, 0 to remove and 7 not upgraded.\n"
                          "Need to get 0 B/41.2 MB of archives.\n"
                          "After this operation, 160 MB of additional disk space will be used.\n");
        } else if (line == kSudo + "apt-get update") {
            return updateStatus;
        } else if (line.rfind("apt-get -s install ", 0) == 0) {
            return 0;  // resolves: what fails, fails when dpkg runs
        } else if (line.rfind(kSudo + "apt-get -y install ", 0) == 0) {
            int status = 0;
            for (const auto& p : namesAfter(line, "install")) {
                const auto f = failing.find(p);
                if (f != failing.end()) {
                    status = f->second;
                } else {
                    installed.insert(p);
                }
            }
            return status;
        } else if (line.rfind(kSudo, 0) == 0) {
            const auto f = commandStatus.find(line.substr(kSudo.size()));
            if (f != commandStatus.end()) return f->second;
        }
        return 0;
    }
};

class Provisioning : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        S().OSKERNELVERSION = std::string(kRelease) + "\n";  // as start-up's capture leaves it
        fake.onRun = [this](const RecordedCommand& c) { return apt(c); };
    }
    // The names of the apt-get -y install runs, one run after the other.
    std::vector<std::string> aptPackages() const {
        std::vector<std::string> v;
        for (const auto& run : aptRuns()) v.insert(v.end(), run.begin(), run.end());
        return v;
    }
    std::vector<std::vector<std::string>> aptRuns() const {
        std::vector<std::vector<std::string>> v;
        const std::string prefix = kSudo + "apt-get -y install ";
        for (const auto& c : fake.commandLines()) {
            if (c.rfind(prefix, 0) == 0) v.push_back(FakeApt::namesAfter(c, "install"));
        }
        return v;
    }
    void allTerminalsPresent() {
        fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                    "/usr/bin/xfce4-terminal"};
    }
    // Each group of src/provision/package_list.def (included as the program includes it) with
    // the names no earlier group named, the kernel headers named in full: one run each on a
    // machine without them.
    static std::vector<std::vector<std::string>> freshRuns() {
#define PACKAGES_32BIT(...) {__VA_ARGS__},
#define PACKAGES_64BIT(...) {__VA_ARGS__},
#define PACKAGES_FONTS(...) {__VA_ARGS__},
#define PACKAGES_PROGRAMS(...) {__VA_ARGS__},
        const std::vector<std::vector<std::string>> listed = {
#include "provision/package_list.def"
        };
#undef PACKAGES_32BIT
#undef PACKAGES_64BIT
#undef PACKAGES_FONTS
#undef PACKAGES_PROGRAMS
        std::vector<std::vector<std::string>> out;
        std::set<std::string> seen;
        for (const auto& group : listed) {
            out.emplace_back();
            for (const auto& p : group) {
                const std::string n = provision::withKernelRelease(p, kRelease);
                if (seen.insert(n).second) out.back().push_back(n);
            }
        }
        return out;
    }
    // Each name of the list once, where it comes first.
    static std::vector<std::string> distinctNames() {
        std::vector<std::string> out;
        for (const auto& run : freshRuns()) out.insert(out.end(), run.begin(), run.end());
        return out;
    }
    ScopedTempDir tmp;
    FakeApt apt;
};

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

TEST_F(Provisioning, NothingInstalledRefreshesAsksOnceThenInstallsEachNameOnce) {
    S().SUDOPASSWORD = "pw";
    S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = "mate-terminal";
    allTerminalsPresent();
    PROCESSCHECK64();
    auto lines = fake.commandLines();
    // The lists first, then the three questions (as the user, LC_ALL=C), before any install.
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], kSudo + "apt-get update");
    EXPECT_EQ(lines[1],
              "{ dpkg --print-architecture && dpkg --print-foreign-architectures; } > tempout.txt");
    EXPECT_EQ(lines[2],
              "dpkg-query -W -f='${Package} ${Architecture} ${Status}|${Provides}\\n' > "
              "tempout.txt");
    // Each name once: the terminals, then the groups' names.
    std::string policy = "apt-cache policy dpkg xterm gnome-terminal xfce4-terminal";
    for (const auto& n : distinctNames()) {
        if (n != "xterm" && n != "gnome-terminal" && n != "xfce4-terminal") policy += " " + n;
    }
    EXPECT_EQ(lines[3], policy + " > tempout.txt");
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(fake.commands[i].cLocale) << lines[i];
        EXPECT_EQ(fake.commands[i].input, std::nullopt) << lines[i];
    }
    // Every name once, in the list's order: a name that recurs is not installed again. Each
    // group in one run, once apt-get -s resolved it (as the user).
    auto apt = aptPackages();
    EXPECT_EQ(apt, distinctNames());
    const auto runs = aptRuns();
    ASSERT_EQ(runs, freshRuns());
    std::string programs;
    for (const auto& n : runs[3]) programs += " " + n;
    const auto sim =
        std::find(lines.begin(), lines.end(), "apt-get -s install" + programs + " >/dev/null 2>&1");
    ASSERT_NE(sim, lines.end());
    EXPECT_TRUE(fake.commands[sim - lines.begin()].cLocale);
    EXPECT_EQ(fake.commands[sim - lines.begin()].input, std::nullopt);
    EXPECT_EQ(*(sim + 1), kSudo + "apt-get -y install" + programs);
    EXPECT_NE(std::find(apt.begin(), apt.end(), kHeaders), apt.end());
    // The licence answer right before the font package, its reconfiguration right after.
    const auto font = std::find(lines.begin(), lines.end(),
                                kSudo + "apt-get -y install ttf-mscorefonts-installer");
    ASSERT_NE(font, lines.end());
    EXPECT_EQ(*(font - 1),
              kSudo +
                  "sh -c 'echo ttf-mscorefonts-installer "
                  "msttcorefonts/accepted-mscorefonts-eula select true | debconf-set-selections'");
    EXPECT_EQ(*(font + 1), kSudo + "dpkg-reconfigure -f noninteractive ttf-mscorefonts-installer");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kSudo + "apt-get update"), 1);
    for (const auto& c : fake.commands) {
        if (c.commandLine.rfind(kSudo, 0) == 0) {
            EXPECT_EQ(c.input, std::optional<std::string>("pw\n"));
        }
    }
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

// The report: every name of the list once, in its order, with how it ended; only the names
// that are missing and available reach apt-get, and one that fails stops nothing.
TEST_F(Provisioning, EachPackageEndsInOneStateAndOnlyMissingAvailableOnesAreAttempted) {
    using provision::PackageState;
    S().SUDOPASSWORD = "pw";
    allTerminalsPresent();
    apt.foreign.clear();  // a Debian system whose i386 architecture nobody enabled
    apt.installed = {"binutils", "curl", "libasound2-dev"};
    apt.provides = {{"libasound2-dev", "libasound-dev"}};
    apt.unavailable = {"realpath", "lsb", "r8168-dkms"};
    apt.virtuals = {{"e2fslibs-dev", "libext2fs-dev"}, {"pysdm", ""}};
    apt.failing = {{"gcc", 100}};
    const auto report = provision::provisionSystemPackages();

    std::map<std::string, PackageState> expected;
    for (const auto& n : distinctNames()) {
        expected[n] = n.ends_with(":i386") ? PackageState::NeedsI386 : PackageState::Installed;
    }
    for (const char* n : {"binutils", "curl", "libasound-dev"})
        expected[n] = PackageState::AlreadyInstalled;
    for (const char* n : {"realpath", "lsb", "r8168-dkms", "pysdm"})
        expected[n] = PackageState::NotAvailable;
    expected["gcc"] = PackageState::Failed;

    std::vector<std::string> order, attempted;
    for (const auto& r : report.packages) {
        order.push_back(r.name);
        EXPECT_EQ(r.state, expected.at(r.name)) << r.name;
        EXPECT_EQ(r.exitStatus, r.name == "gcc" ? 100 : 0) << r.name;
        if (r.state == PackageState::Installed || r.state == PackageState::Failed)
            attempted.push_back(r.name);
    }
    EXPECT_EQ(order, distinctNames());
    // e2fslibs-dev through its provider; group B's run failed on gcc, so each of its names
    // ran on its own, g++ after gcc.
    std::vector<std::string> tried;
    for (const auto& n : aptPackages()) {
        if (std::find(tried.begin(), tried.end(), n) == tried.end()) tried.push_back(n);
    }
    EXPECT_EQ(tried, attempted);
    // Each group in one run of what it attempts; group B's again name by name.
    std::vector<std::vector<std::string>> groupRuns, expectedRuns;
    for (const auto& fresh : freshRuns()) {
        groupRuns.emplace_back();
        for (const auto& n : fresh) {
            if (std::find(attempted.begin(), attempted.end(), n) != attempted.end())
                groupRuns.back().push_back(n);
        }
    }
    for (std::size_t g = 0; g < groupRuns.size(); ++g) {
        expectedRuns.push_back(groupRuns[g]);
        if (g != 1) continue;
        for (const auto& n : groupRuns[g]) expectedRuns.push_back({n});
    }
    EXPECT_EQ(aptRuns(), expectedRuns);
    EXPECT_TRUE(report.failedCommands.empty());
    // Nobody enables an architecture behind the user's back.
    for (const auto& c : fake.commandLines())
        EXPECT_EQ(c.find("--add-architecture"), std::string::npos) << c;
    // The count beside a heading counts what is attempted (group A: no i386 names; group B:
    // not binutils, libasound-dev and r8168-dkms), not the group's new names; group B's names
    // one by one count up to the same number.
    const auto fresh = freshRuns();
    for (std::size_t g : {0u, 1u, 3u}) {
        const std::string n = std::to_string(groupRuns[g].size());
        const std::string all = std::to_string(fresh[g].size());
        EXPECT_NE(fake.screen.find("  packages 1 to " + n + " of " + n), std::string::npos) << g;
        EXPECT_EQ(fake.screen.find("  packages 1 to " + all + " of " + all), std::string::npos);
    }
    const std::string b = std::to_string(groupRuns[1].size());
    EXPECT_NE(fake.screen.find("  package " + b + " of " + b), std::string::npos);
    EXPECT_EQ(fake.screen.find("  package " + std::to_string(groupRuns[1].size() + 1) + " of"),
              std::string::npos);
}

TEST_F(Provisioning, FailedCommandsOfTheRunAreReportedAndTheInstallsGoOn) {
    S().SUDOPASSWORD = "pw";
    allTerminalsPresent();
    apt.updateStatus = 100;
    apt.commandStatus = {{provision::kFontReconfigureCommand, 1}};
    const auto report = provision::provisionSystemPackages();
    ASSERT_EQ(report.failedCommands.size(), 2u);
    EXPECT_EQ(report.failedCommands[0].command, "apt-get update");
    EXPECT_EQ(report.failedCommands[0].exitStatus, 100);
    EXPECT_EQ(report.failedCommands[1].command,
              "dpkg-reconfigure -f noninteractive ttf-mscorefonts-installer");
    EXPECT_EQ(report.failedCommands[1].exitStatus, 1);
    EXPECT_EQ(aptPackages(), distinctNames());
    for (const auto& r : report.packages)
        EXPECT_EQ(r.state, provision::PackageState::Installed) << r.name;
}

TEST_F(Provisioning, AMachineThatHasEverythingRunsNoInstallAndShowsNoHeading) {
    S().SUDOPASSWORD = "pw";
    allTerminalsPresent();
    for (const auto& n : distinctNames()) apt.installed.insert(n);
    const auto report = provision::provisionSystemPackages();
    EXPECT_EQ(fake.commandLines(),
              (std::vector<std::string>{
                  kSudo + "apt-get update",
                  "{ dpkg --print-architecture && dpkg --print-foreign-architectures; } > "
                  "tempout.txt",
                  "dpkg-query -W -f='${Package} ${Architecture} ${Status}|${Provides}\\n' > "
                  "tempout.txt"}));
    EXPECT_EQ(report.packages.size(), distinctNames().size());
    for (const auto& r : report.packages)
        EXPECT_EQ(r.state, provision::PackageState::AlreadyInstalled) << r.name;
    EXPECT_EQ(fake.screen.find("PLEASE WAIT"), std::string::npos);
}

// A name apt does not know is not available, even when it is the only one asked about; an apt
// that does not answer at all rules nothing out.
TEST_F(Provisioning, AnUnknownNameIsNotAvailableUnlessAptSaidNothingAtAll) {
    for (const bool answers : {true, false}) {
        resetSharedState();
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        S().OSKERNELVERSION = kRelease;
        S().SUDOPASSWORD = "pw";
        fake.commands.clear();
        apt = FakeApt{};
        apt.aptAnswers = answers;
        allTerminalsPresent();
        for (const auto& n : distinctNames()) {
            if (n != "realpath") apt.installed.insert(n);
        }
        apt.unavailable = {"realpath"};
        const auto report = provision::provisionSystemPackages();
        const auto realpath = std::find_if(report.packages.begin(), report.packages.end(),
                                           [](const auto& r) { return r.name == "realpath"; });
        ASSERT_NE(realpath, report.packages.end());
        EXPECT_EQ(realpath->state, answers ? provision::PackageState::NotAvailable
                                           : provision::PackageState::Installed);
        EXPECT_EQ(aptPackages(),
                  answers ? std::vector<std::string>{} : std::vector<std::string>{"realpath"});
    }
}

// What dpkg and apt print (LC_ALL=C), read into what is installed and what can be.
TEST_F(Provisioning, QueriesAreReadAsDpkgAndAptPrintThem) {
    provision::SystemPackages system;
    provision::readArchitectures("amd64\ni386\n", system);
    EXPECT_EQ(system.architecture, "amd64");
    EXPECT_EQ(system.foreignArchitectures, std::set<std::string>{"i386"});
    provision::readInstalled(
        "bash amd64 install ok installed|\n"
        "libc6 i386 install ok installed|\n"
        "adwaita-icon-theme all install ok installed|adwaita-icon-theme-full (= 43-1), "
        "gnome-icon-theme-symbolic\n"
        "oldie amd64 deinstall ok config-files|\n"
        "halfway amd64 install ok half-configured|\n"
        "held amd64 hold ok installed|\n",
        system);
    EXPECT_EQ(system.installed,
              (std::set<std::string>{"bash", "bash:amd64", "libc6:i386", "adwaita-icon-theme",
                                     "adwaita-icon-theme:all", "adwaita-icon-theme-full",
                                     "adwaita-icon-theme-full:all", "gnome-icon-theme-symbolic",
                                     "gnome-icon-theme-symbolic:all", "held", "held:amd64"}));
    EXPECT_EQ(
        provision::namesWithCandidate("lsb:\n"
                                      "  Installed: (none)\n"
                                      "  Candidate: (none)\n"
                                      "  Version table:\n"
                                      "libc6:i386:\n"
                                      "  Installed: (none)\n"
                                      "  Candidate: 2.36-9+deb12u4\n"
                                      "  Version table:\n"
                                      "     2.36-9+deb12u4 500\n"
                                      "        500 http://deb.debian.org/debian bookworm/main "
                                      "i386 Packages\n"
                                      "bash:\n"
                                      "  Installed: 5.2.15-2+b8\n"
                                      "  Candidate: 5.2.15-2+b13\n",
                                      "amd64"),
        (std::set<std::string>{"libc6:i386", "bash"}));
    EXPECT_EQ(provision::namesProvided("Package: libasound-dev\n"
                                       "Versions: \n"
                                       "\n"
                                       "Reverse Depends: \n"
                                       "  faust,libasound-dev\n"
                                       "Dependencies: \n"
                                       "Provides: \n"
                                       "Reverse Provides: \n"
                                       "libasound2-dev 1.2.8-1+b1 (= )\n"
                                       "Package: realpath\n"
                                       "Versions: \n"
                                       "\n"
                                       "Reverse Depends: \n"
                                       "  cross-gcc-dev,realpath\n"
                                       "Dependencies: \n"
                                       "Provides: \n"
                                       "Reverse Provides: \n",
                                       "amd64"),
              std::set<std::string>{"libasound-dev"});
}

TEST_F(Provisioning, EachHeadingShowsWhichPackageOfItsGroupIsInstalling) {
    S().SUDOPASSWORD = "pw";
    fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                "/usr/bin/xfce4-terminal"};
    // What stands after the last "package" when each apt-get starts.
    std::vector<std::string> shown;
    fake.onRun = [&](const RecordedCommand& c) {
        if (c.commandLine.find("apt-get -y install") == std::string::npos) return apt(c);
        const bool group =
            c.commandLine.find(' ', c.commandLine.find("install ") + 8) != std::string::npos;
        const auto at = fake.screen.rfind("  package");
        shown.push_back(at == std::string::npos
                            ? ""
                            : fake.screen.substr(at, fake.screen.find_first_of("\x1b\n", at) - at));
        // From the programs' group on, the output reaches the last row and scrolls.
        if (c.commandLine.ends_with(" curl")) fake.cursorReply = {24, 1};
        return group ? 100 : 0;  // each group's run fails: its packages install one by one
    };
    PROCESSCHECK64();
    // Each group's new names (group B's: two came in group A already, one recurs within it),
    // in one run, then one by one; the font group has no heading, so its run finds group B's
    // last count still shown.
    const auto runs = freshRuns();
    const auto count = [&](std::size_t g) { return std::to_string(runs[g].size()); };
    std::vector<std::string> expected;
    for (std::size_t g : {0u, 1u, 3u}) {
        if (g == 3) expected.push_back(expected.back());
        expected.push_back("  packages 1 to " + count(g) + " of " + count(g));
        for (std::size_t i = 1; i <= runs[g].size(); ++i)
            expected.push_back("  package " + std::to_string(i) + " of " + count(g));
    }
    EXPECT_EQ(shown, expected);
    // In place beside a heading that is still where it was printed (row 1 after a clear)...
    EXPECT_NE(fake.screen.find("\x1b"
                               "7\x1b[1;42H  package 1 of " +
                               count(1) +
                               "\x1b"
                               "8"),
              std::string::npos);
    // ...and printed again with the heading once output may have scrolled it away.
    EXPECT_NE(
        fake.screen.find("INSTALLING PROGRAMS - PLEASE WAIT  package 2 of " + count(3) + "\n"),
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
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        S().OSKERNELVERSION = kRelease;
        apt = FakeApt{};
        fake.commands.clear();
        S().SUDOPASSWORD = "pw";
        fake.existingSystemPaths = r.present;
        PROCESSCHECK64();
        auto apt = aptPackages();
        EXPECT_EQ(std::vector<std::string>(apt.begin(), apt.begin() + r.installed.size()),
                  r.installed);
        EXPECT_EQ(apt.size(), distinctNames().size());  // group D does not install them again
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

// The plan shown before the installation tells what the run then does: the same names to
// install, the same ones left because they are there or cannot be installed; the system
// changes and the font licence only when their packages are among those to install.
TEST_F(Provisioning, TheLookAheadTellsWhatTheRunThenDoes) {
    using provision::PackageState;
    struct Case {
        std::set<std::string> installed;
        std::set<std::string> unavailable;
        std::vector<std::string> foreign;
        std::set<std::string> changes;
        bool fonts;
    };
    const std::vector<Case> cases = {
        {{"binutils", "curl", "ttf-mscorefonts-installer", "openssh-server"},
         {"realpath", "ntp", "r8168-dkms"},
         {},
         {"dkms"},
         false},
        {{}, {}, {"i386"}, {"openssh-server", "ntp", "dkms", "r8168-dkms"}, true},
    };
    for (const Case& k : cases) {
        resetState();
        fake.commands.clear();
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp.path();
        S().OSKERNELVERSION = kRelease;
        S().SUDOPASSWORD = "pw";
        fake.existingSystemPaths = {"/usr/bin/gnome-terminal"};  // xterm's program is gone
        apt = FakeApt{};
        apt.installed = k.installed;
        apt.installed.insert("xterm");
        apt.unavailable = k.unavailable;
        apt.foreign = k.foreign;
        fake.onRun = [this](const RecordedCommand& c) { return apt(c); };

        const provision::PackageOutlook o = provision::lookAhead();
        // Only questions as the user: nothing is installed, nothing runs as root.
        for (const auto& line : fake.commandLines()) EXPECT_NE(line.rfind(kSudo, 0), 0u) << line;
        EXPECT_EQ(
            fake.commandLines().back(), "apt-get -y --print-uris install" + [&] {
                std::string n;
                for (const auto& p : o.toInstall) n += " " + p;
                return n;
            }() + " 2>/dev/null > tempout.txt");
        EXPECT_EQ(o.estimate.newlyInstalled, o.toInstall.size() * 3);
        EXPECT_EQ(o.estimate.downloadSize, "0 B");
        EXPECT_EQ(o.estimate.diskSpace, "160 MB");
        std::set<std::string> changes;
        for (const auto& c : o.changes) changes.insert(c.package);
        EXPECT_EQ(changes, k.changes);
        EXPECT_EQ(o.acceptsFontLicence, k.fonts);

        const auto report = provision::provisionSystemPackages();
        std::vector<std::string> attempted;
        std::size_t already = 0;
        std::vector<std::string> left, leftAhead;
        for (const auto& r : report.packages) {
            if (r.state == PackageState::Installed) attempted.push_back(r.name);
            if (r.state == PackageState::AlreadyInstalled) ++already;
            if (r.state == PackageState::NotAvailable || r.state == PackageState::NeedsI386)
                left.push_back(r.name + " " + provision::packageStateText(r));
        }
        for (const auto& r : o.unavailable)
            leftAhead.push_back(r.name + " " + provision::packageStateText(r));
        EXPECT_EQ(o.toInstall, attempted);
        EXPECT_EQ(o.toInstall.front(), "xterm");  // installed again: its program is gone
        EXPECT_EQ(o.alreadyInstalled, already);
        EXPECT_EQ(leftAhead, left);
    }
}

TEST(AptEstimate, ReadsWhatAptPrintsAndNothingElse) {
    struct Case {
        const char* output;
        std::optional<std::size_t> newly;
        const char* download;
        const char* disk;
        std::size_t upgraded = 0, removed = 0;
        std::vector<std::string> removedNames = {};
    };
    const Case cases[] = {
        {"Reading package lists...\nThe following NEW packages will be installed:\n  cowsay\n"
         "0 upgraded, 2 newly installed, 0 to remove and 132 not upgraded.\n"
         "Need to get 30.9 kB of archives.\n"
         "After this operation, 136 kB of additional disk space will be used.\n"
         "'http://deb.debian.org/debian/pool/main/c/cowsay/cowsay_3.03_all.deb' cowsay.deb 21372 "
         "MD5Sum:331c\n",
         2, "30.9 kB", "136 kB"},
        {"1 upgraded, 213 newly installed, 0 to remove and 0 not upgraded.\n"
         "Need to get 12.5 MB/57.3 MB of archives.\n",
         213, "12.5 MB", "", 1},
        {"The following packages will be REMOVED:\n  ntpsec systemd-timesyncd\n"
         "The following NEW packages will be installed:\n  ntp\n"
         "26 upgraded, 685 newly installed, 2 to remove and 102 not upgraded.\n",
         685,
         "",
         "",
         26,
         2,
         {"ntpsec", "systemd-timesyncd"}},
        {"E: Unable to locate package nothere\n", std::nullopt, "", ""},
        {"", std::nullopt, "", ""},
    };
    for (const Case& c : cases) {
        const provision::AptEstimate e = provision::readAptEstimate(c.output);
        EXPECT_EQ(e.newlyInstalled, c.newly) << c.output;
        EXPECT_EQ(e.downloadSize, c.download) << c.output;
        EXPECT_EQ(e.diskSpace, c.disk) << c.output;
        EXPECT_EQ(e.upgraded, c.upgraded) << c.output;
        EXPECT_EQ(e.removed, c.removed) << c.output;
        EXPECT_EQ(e.removedNames, c.removedNames) << c.output;
    }
}
