// The automatic installation: what each variant lays, a whole run of variants A and B against a
// fake wget that fills the archive, the records, and the bounded stop on a missing file.
#include "install/auto_install.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "app/installWalletForLinux.h"
#include "golden.h"
#include "install/install_menu.h"
#include "install/installation_flow.h"
#include "install/steps.h"
#include "net/sha256.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using install::Variant;

class AutoInstall : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        home = dir.path() + "/home";
        fs::create_directories(home + "/Desktop");
        fs::create_directories(dir.path() + "/start");
        fs::current_path(dir.path() + "/start");
        S().THISPROGRAMEXECUTABLEFILEPATH = dir.path() + "/start";  // the provisioning's queries
        S().CURRENTUSERHOMEPATH = home;
        S().CURRENTOSACCOUNTUSERHOMEPATH = home;
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home;
        S().SUDOPASSWORD = "pw";
        S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = "gnome-terminal";
        fake.existingSystemPaths = {"/usr/bin/xterm", "/usr/bin/gnome-terminal",
                                    "/usr/bin/xfce4-terminal"};
        answerQuestionsYes();
        // wget mirrors the remote folder below the working directory.
        fake.onRun = [this](const RecordedCommand& c) {
            if (c.commandLine.rfind("wget ", 0) != 0) return 0;
            if (!serverUp) return 4;  // wget's network failure
            const bool refresh = c.commandLine.find("archive/wallet/current") != std::string::npos;
            const std::string top = c.cwd + (refresh ? "/archive/wallet/current" : "/current");
            fs::create_directories(top + "/Linux");
            writeFileBytes(top + "/wallet.ico", "ico");
            writeFileBytes(top + "/tellers", "tellers");
            writeFileBytes(top + "/Linux/wallet", "#!/bin/sh\n");
            if (refresh) {
                for (const auto& d : install::walletPackages())
                    writeFileBytes(top + "/Linux/" + d, "d");
            }
            return 0;
        };
    }
    // The archives of these tests are not signed: the question before root (the packages,
    // the launcher for all users) is answered y, once it is drawn. For one run.
    void answerQuestionsYes() {
        fake.keys.clear();
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey("y");
    }
    std::vector<std::string> linesStartingWith(const std::string& prefix) const {
        std::vector<std::string> v;
        for (const auto& l : fake.commandLines()) {
            if (l.rfind(prefix, 0) == 0) v.push_back(l);
        }
        return v;
    }
    // What the installation menu hands to variant A: its progress form.
    const install::ProgressScreen progressScreen = [] {
        return install::installationMenuLines(true);
    };
    ScopedTempDir dir;
    std::string home;
    bool serverUp = true;
};

// Every folder, file and link below root, one a line in the order of the paths: kind,
// permission bits, the path from root.
std::string layoutBelow(const std::string& root) {
    std::map<std::string, std::string> byPath;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        EXPECT_EQ(lstat(e.path().c_str(), &st), 0) << e.path();
        const char kind = S_ISDIR(st.st_mode) ? 'd' : S_ISLNK(st.st_mode) ? 'l' : 'f';
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", st.st_mode & 07777);
        const std::string path = fs::relative(e.path(), root).string();
        byPath[path] = std::string(1, kind) + " " + mode + " " + path + "\n";
    }
    std::string out;
    for (const auto& [path, line] : byPath) out += line;
    return out;
}

class VariantLayout : public AutoInstall, public ::testing::WithParamInterface<char> {};

// What a variant's steps lay in the installation path (HOME here), how it ends and how long
// it waits, against tests/golden/layouts/variant_X.txt.
TEST_P(VariantLayout, LaysWhatItsGoldenListSays) {
    const mode_t saved = umask(022);
    const Variant v = static_cast<Variant>(GetParam() - 'A');
    const install::Outcome outcome =
        (v == Variant::A ? install::runAutomaticInstallation(v, progressScreen)
                         : install::runAutomaticInstallation(v))
            .outcome;
    umask(saved);
    std::string status = S().APPLICATIONTEXTWALLETCURRENTSTATUS;
    for (std::size_t at; (at = status.find(home)) != std::string::npos;)
        status.replace(at, home.size(), "HOME");
    expectGolden(std::string("layouts/variant_") + GetParam() + ".txt",
                 "outcome " + std::to_string(static_cast<int>(outcome)) + "\nstatus " + status +
                     "\nslept " + std::to_string(fake.sleptMs) + " ms\n" + layoutBelow(home));
}
INSTANTIATE_TEST_SUITE_P(AutoInstall, VariantLayout, ::testing::Values('A', 'B', 'C', 'D'),
                         [](const auto& info) { return std::string(1, info.param); });

TEST_F(AutoInstall, VariantALaysOutTheWalletAndRecordsThreeRecords) {
    ASSERT_EQ(install::runAutomaticInstallation(Variant::A, progressScreen).outcome,
              install::Outcome::Completed);
    const std::string ap = home + "/wallet";
    for (const char* f : {"/wallet", "/wallet.ico", "/wallet.cfg"}) {
        EXPECT_TRUE(fs::is_regular_file(ap + f)) << f;
    }
    EXPECT_TRUE(fs::is_directory(ap + "/control/applications/wallet/tellerData"));
    EXPECT_EQ(S().APPLICATIONTEXTWALLETAPPLICATIONPATH, ap);
    EXPECT_EQ(S().CURRENTWALLETARCHIVEPATH, ap + "/archive");
    // The stamp is taken after the flow's waits (7 + 5 + 1 s on the fake clock from 08:14:46).
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONDATE, "2026-12-07-08-14-59");
    EXPECT_EQ(readFileBytes(ap + "/wallet.cfg"),
              "applicationTextWalletInstallationPath=" + home +
                  "\r\n"
                  "applicationTextWalletInstallationDate=2026-12-07-08-14-59\r\n"
                  "applicationTextWalletApplicationPath=" +
                  ap + "\r\n");
    EXPECT_EQ(readFileBytes(home + "/Desktop/Corvane wallet.desktop").substr(0, 2), " \n");
    EXPECT_EQ(S().APPLICATIONTEXTWALLETINSTALLATIONSTATUS,
              "CREATED " + home + "/Desktop/Corvane wallet.desktop");
    const std::string linuxDir = ap + "/archive/wallet/current/Linux/";
    EXPECT_EQ(linesStartingWith(kSudo + "dpkg -i "),
              (std::vector<std::string>{
                  kSudo + "dpkg -i -- " + linuxDir + "libminiupnpc18_2.2.8-2+b2_amd64.deb",
                  kSudo + "dpkg -i -- " + linuxDir + "miniupnpc18_2.2.8-2+b2_amd64.deb"}));
    // The program is made executable by the installer itself, not through sudo.
    EXPECT_TRUE(linesStartingWith(kSudo + "chmod").empty());
    EXPECT_EQ(fs::status(ap + "/wallet").permissions() & fs::perms::others_exec,
              fs::perms::others_exec);
    // dpkg and apt said nothing here: every package is attempted, a group in one run.
    EXPECT_EQ(linesStartingWith(kSudo + "apt-get -y install ").size(), 4u);
    // Status texts in order, the last one on the progress screen (no keys 7 and 9).
    std::size_t at = 0;
    for (const char* t :
         {"Creating Teller FilePath Directory", "Creating Directories", "Downloading Files",
          "Creating desktop shortcut", "Updating configuration file",
          "Installation Complete, Exiting installer. "}) {
        at = fake.screen.find(std::string("APPLICATION STATUS= ") + t, at);
        ASSERT_NE(at, std::string::npos) << t;
    }
    const std::string last = fake.screen.substr(fake.screen.rfind(" MAIN MENU-INSTALLATION"));
    EXPECT_EQ(last.find("PRESS 7"), std::string::npos);
    EXPECT_NE(last.find(" \n > PRESS 0..GO BACK"), std::string::npos);
    // The 5 s wait after the program, the refresh's 5 + 2 s, the launcher's 1 s.
    EXPECT_EQ(fake.sleptMs, 5000 + 7000 + 1000);
}

TEST_F(AutoInstall, VariantARunTwiceAppendsASecondSetOfRecords) {
    ASSERT_EQ(install::runAutomaticInstallation(Variant::A, progressScreen).outcome,
              install::Outcome::Completed);
    fs::current_path(dir.path() + "/start");
    answerQuestionsYes();
    ASSERT_EQ(install::runAutomaticInstallation(Variant::A, progressScreen).outcome,
              install::Outcome::Completed);
    const std::string cfg = readFileBytes(home + "/wallet/wallet.cfg");
    EXPECT_EQ(std::count(cfg.begin(), cfg.end(), '\n'), 6);
    S().FILEPATH = home + "/wallet";
    S().FILENAME = "wallet.cfg";
    S().OBJECTMARKER = "applicationTextWalletInstallationPath";
    READOBJECTMARKERANDOBJECTVALUEINSPECIFIEDFILENAMEINSPECIFIEDFILEPATH();
    EXPECT_EQ(S().OBJECTVALUE, home);
}

TEST_F(AutoInstall, VariantBCopiesTellersWritesFormBAndTwoRecords) {
    ASSERT_EQ(install::runAutomaticInstallation(Variant::B).outcome, install::Outcome::Completed);
    EXPECT_TRUE(fs::is_regular_file(home + "/wallet"));
    EXPECT_TRUE(fs::is_regular_file(home + "/wallet.ico"));
    EXPECT_EQ(readFileBytes(home + "/control/applications/wallet/tellerData/tellers"), "tellers");
    const std::string launcher = readFileBytes(home + "/Desktop/Corvane wallet.desktop");
    // The launcher starts the program where the copy put it: HOME/wallet here.
    EXPECT_NE(launcher.find("\nExec=gnome-terminal -e " + home + "/wallet\n"), std::string::npos);
    EXPECT_EQ(install::thisRun().programPath, home + "/wallet");
    const std::string cfg = readFileBytes(home + "/wallet.cfg");
    EXPECT_EQ(cfg.substr(0, cfg.find("Date=")), "applicationTextWalletInstallationPath=" + home +
                                                    "\r\napplicationTextWallet"
                                                    "Installation");
    EXPECT_EQ(cfg.find("ApplicationPath"), std::string::npos);
    EXPECT_TRUE(linesStartingWith(kSudo + "apt-get").empty());
    EXPECT_TRUE(linesStartingWith(kSudo + "dpkg").empty());
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "APPLICATION STATUS= Installation Complete, Awating user input");
    EXPECT_EQ(fake.screen.find(" MAIN MENU-INSTALLATION"), std::string::npos);  // no redraws
}

TEST_F(AutoInstall, VariantCUsesTheFolderDownloadOfTheSecondServer) {
    ASSERT_EQ(install::runAutomaticInstallation(Variant::C).outcome, install::Outcome::Completed);
    auto wget = linesStartingWith("wget ");
    ASSERT_EQ(wget.size(), 1u);
    EXPECT_EQ(wget[0].rfind(" --user=ledger2 --password=harbor9# ftp://"),
              wget[0].find(" --user="));
    EXPECT_TRUE(fs::is_regular_file(home + "/wallet"));
}

TEST_F(AutoInstall, ServerDownStopsAtOnceNamingTheNetwork) {
    serverUp = false;
    for (Variant v : {Variant::A, Variant::D}) {
        fake.sleptMs = 0;
        ASSERT_EQ(install::runAutomaticInstallation(v, progressScreen).outcome,
                  install::Outcome::Stopped);
        const bool a = v == Variant::A;
        // Named from wget's exit status, without waiting for files that cannot come.
        EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
                  std::string(a ? "APPLICATION STATUS= " : "") +
                      "Installation Stopped, Download Failed: network unreachable");
        EXPECT_EQ(fake.sleptMs, a ? 7000 : 0);
        EXPECT_EQ(fs::current_path(), fs::path(dir.path() + "/start"));
        EXPECT_FALSE(fs::exists(home + "/Desktop/Corvane wallet.desktop"));
        EXPECT_FALSE(fs::exists(a ? home + "/wallet/wallet.ico" : home + "/wallet.ico"));
    }
    EXPECT_TRUE(linesStartingWith(kSudo + "apt-get").empty());
}

// With sums present, a package they do not list is downloaded but never given to dpkg.
TEST_F(AutoInstall, PackageMissingFromTheSumsIsNotInstalled) {
    const auto download = fake.onRun;
    const std::string listed = install::walletPackages()[1];
    fake.onRun = [&, download](const RecordedCommand& c) {
        const int rc = download(c);
        if (c.commandLine.rfind("wget ", 0) == 0) {
            const std::string top = c.cwd + "/archive/wallet/current";
            std::string sums;
            for (const std::string& f :
                 std::vector<std::string>{"wallet.ico", "Linux/wallet", "Linux/" + listed}) {
                sums += net::sha256Hex(readFileBytes(top + "/" + f)) + "  " + f + "\n";
            }
            writeFileBytes(top + "/SHA256SUMS", sums);
        }
        return rc;
    };
    ASSERT_EQ(install::runAutomaticInstallation(Variant::A, progressScreen).outcome,
              install::Outcome::Completed);
    EXPECT_EQ(linesStartingWith(kSudo + "dpkg -i "),
              std::vector<std::string>{kSudo + "dpkg -i -- " + home +
                                       "/wallet/archive/wallet/current/Linux/" + listed});
    EXPECT_NE(
        fake.screen.find("APPLICATION STATUS= archive checked against SHA256SUMS (not signed)"),
        std::string::npos);
}

TEST_F(AutoInstall, LocalWgetProgramIsCopiedBesideTheInstallation) {
    writeFileBytes(dir.path() + "/start/wget", "#!/bin/sh\n");
    ASSERT_EQ(install::runAutomaticInstallation(Variant::B).outcome, install::Outcome::Completed);
    EXPECT_TRUE(fs::is_regular_file(home + "/wget"));
}

TEST_F(AutoInstall, ARecordFolderThatCannotBeEnteredFailsAloneAndWritesNoWalletCfg) {
    // The installation folder goes away while the launcher for all users is installed: the
    // records have nowhere to go.
    auto wget = fake.onRun;
    fake.onRun = [&](const RecordedCommand& c) {
        if (c.commandLine.find("install -o root") != std::string::npos)
            fs::rename(home, home + "-gone");
        return wget(c);
    };
    EXPECT_EQ(install::runAutomaticInstallation(Variant::D).outcome,
              install::Outcome::WithProblems);
    EXPECT_EQ(S().APPLICATIONTEXTWALLETCURRENTSTATUS,
              "Installation Finished With Problems, 2 Failed");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename(), "wallet.cfg") << entry.path();
    EXPECT_EQ(fs::current_path(), dir.path() + "/start");
}

TEST(InstallationMenuScreen, MenuAndProgressForms) {
    auto menu =
        console::menuLines(install::installationMenu("/h/wallet", "2026-12-07-08-14-46", false));
    ASSERT_EQ(menu.size(), 20u);
    EXPECT_EQ(menu[0], " MAIN MENU-INSTALLATION    ");
    EXPECT_EQ(menu[3], "  CURRENT INSTALLATION PATH= /h/wallet");
    EXPECT_EQ(menu[7], "  INSTALLATION DATE= 2026-12-07-08-14-46");
    EXPECT_EQ(menu[15], " > PRESS 7..TO DELETE ALL FILES FROM THE CURRENT INSTALLATION PATH");
    EXPECT_EQ(menu[17], " > PRESS 9..TO UNINSTALL THE WALLET FROM THE CURRENT INSTALLATION PATH");
    EXPECT_EQ(menu[19], " > PRESS 0..GO BACK");
    auto progress =
        console::menuLines(install::installationMenu("/h/wallet", "2026-12-07-08-14-46", true));
    ASSERT_EQ(progress.size(), 16u);
    EXPECT_EQ(std::vector<std::string>(menu.begin(), menu.begin() + 15),
              std::vector<std::string>(progress.begin(), progress.begin() + 15));
    EXPECT_EQ(progress[15], " > PRESS 0..GO BACK");
}

class InstallationMenu : public WithFakePlatform {};

TEST_F(InstallationMenu, KeyOneSetsTheDisplayedPathAndZeroLeavesWithTheKeyCleared) {
    // Each menu first discards what was typed before it drew; a timeout ends that.
    for (const char* k : {"1", "4", "0"}) {  // "4" has no meaning here: redraw only
        fake.keys.push_back(Key{KeyKind::Timeout, ""});
        fake.pressKey(k);
    }
    fake.eofWhenEmpty = false;
    fake.lines.push_back("/opt/somewhere");
    runInstallationMenu();
    EXPECT_EQ(S().APPLICATIONTEXTWALLETAPPLICATIONPATH, "/opt/somewhere");
    EXPECT_EQ(S().ZXINKEY, "");
    EXPECT_NE(fake.screen.find("Please specify the new installation path = "), std::string::npos);
    EXPECT_NE(fake.screen.find("  CURRENT INSTALLATION PATH= /opt/somewhere\n"), std::string::npos);
    EXPECT_TRUE(fake.commands.empty());
}

TEST_F(AutoInstall, ADownloadFolderThatCannotBeMadeStopsTheFlowBeforeWget) {
    // A file stands where a folder of the path should: wget would fill the current folder.
    writeFileBytes(home + "/file", "x");
    S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home + "/file/apps";
    const std::pair<Variant, std::string> cases[] = {{Variant::A, "/file/apps/wallet"},
                                                     {Variant::B, "/file/apps/archive"},
                                                     {Variant::C, "/file/apps/archive"},
                                                     {Variant::D, "/file/apps/archive"}};
    for (const auto& [v, folder] : cases) {
        SCOPED_TRACE(folder);
        fake.commands.clear();
        EXPECT_EQ(install::runAutomaticInstallation(v).outcome, install::Outcome::Stopped);
        EXPECT_TRUE(linesStartingWith("wget").empty());
        const std::string& status = S().APPLICATIONTEXTWALLETCURRENTSTATUS;
        EXPECT_NE(status.find("Installation Stopped, Cannot Enter "), std::string::npos) << status;
        // The entry that stands in the way is named.
        EXPECT_TRUE(status.ends_with("/file")) << status;
        EXPECT_EQ(fs::current_path(), dir.path() + "/start");
    }
    EXPECT_FALSE(fs::exists(dir.path() + "/start/current"));
}

}  // namespace

namespace {

TEST_F(AutoInstall, NoLauncherForAllUsersStartsAProgramThatOthersCanChange) {
    // The wallet lies in a folder that every user may write: root must not install a launcher
    // that makes every user run whatever is put at its path.
    const std::string shared = dir.path() + "/shared";
    fs::create_directories(shared);
    fs::permissions(shared, fs::perms::all);
    S().APPLICATIONTEXTWALLETINSTALLATIONPATH = shared;
    // The answer to the question before root: the fake's sample archive is not signed.
    fake.keys.push_back(Key{KeyKind::Char, "y"});
    const install::InstallationRun run = install::runAutomaticInstallation(Variant::D);
    EXPECT_EQ(run.outcome, install::Outcome::WithProblems);
    EXPECT_TRUE(linesStartingWith(kSudo + "install ").empty());
    const auto& results = run.installation.results;
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(results.back().object, shared + "/wallet");
    EXPECT_EQ(results.back().cause, "others can change it");
}

}  // namespace
