// Sudo access: reading the probe, the first-time command and its quoting, the start-up
// procedure's branches, the private password files and the launch-time password check.
#include "privilege/privilege.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "app/installWalletForLinux.h"
#include "golden.h"
#include "host/shell.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(SudoProbe, MessagesThatCallForFirstTimeSetup) {
    struct Case {
        std::string text;
        bool setup;
    };
    // Real sudo 1.9 messages (the German ones show why the probe runs with LC_ALL=C).
    const std::vector<Case> cases = {
        {"sudo: a password is required\n", false},
        {"", false},
        {"Sorry, user tfplain may not run sudo on vm.\n", true},
        {"sh: 1: sudo: not found\n", true},
        {"/bin/bash: line 1: sudo: command not found\n", true},
        {"sudo: Ein Passwort ist notwendig\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(probeNeedsFirstTimeSetup(c.text), c.setup) << c.text;
}

TEST(FirstTimeCommand, DocumentedFormsForAPlainUser) {
    EXPECT_EQ(firstTimeSetupCommand("tester", true),
              "su -c \"apt install sudo ; /usr/sbin/adduser tester sudo ; skill -TERM -u "
              "tester ; sleep 2 ; skill -KILL -u tester\"");
    EXPECT_EQ(firstTimeSetupCommand("tester", false),
              "su -c \"apt install sudo ; /usr/sbin/usermod -aG sudo tester ; skill -TERM -u "
              "tester ; sleep 2 ; skill -KILL -u tester\"");
    EXPECT_EQ(usermodCommand("tester"), "usermod -aG sudo tester");
    EXPECT_EQ(usermodCommand("a b"), "usermod -aG sudo 'a b'");
}

TEST(FirstTimeCommand, UserNameSurvivesBothShells) {
    // Our shell hands su's shell the text between the double quotes; with printf in place of
    // su we see that text, and su's shell must see each user name as one quoted word.
    for (const std::string user :
         {"tester", "o'brien", "a b", "x\"y", "$(id)", "`id`", "back\\slash", "semi;colon"}) {
        for (bool adduser : {true, false}) {
            std::string command = firstTimeSetupCommand(user, adduser);
            ASSERT_EQ(command.rfind("su -c ", 0), 0u);
            std::string seenBySu = shellOutput("printf %s " + command.substr(6));
            std::string join = adduser ? "/usr/sbin/adduser " + shellQuote(user) + " sudo"
                                       : "/usr/sbin/usermod -aG sudo " + shellQuote(user);
            EXPECT_EQ(seenBySu, "apt install sudo ; " + join + " ; skill -TERM -u " +
                                    shellQuote(user) + " ; sleep 2 ; skill -KILL -u " +
                                    shellQuote(user))
                << user;
        }
    }
}

TEST(Screens, FirstTimeAndPasswordRequired) {
    // The first-time screen names the password each prompt wants: the user's, then root's.
    std::string screen;
    for (const auto& line : firstTimeSetupScreen("0.10.61", "tester")) screen += line + "\n";
    expectGolden("screens/first_time_setup.txt", screen);
    for (const auto& line : firstTimeSetupScreen("0.10.61", "a-long-user-name")) {
        EXPECT_LE(line.size(), 80u) << line;
    }
    auto required = passwordRequiredScreen("0.10.61");
    EXPECT_EQ(required,
              (std::vector<std::string>{
                  " ", "\tWALLET INSTALLER VERSION = 0.10.61", " ",
                  " Your user password is required for this installer to continue.", " "}));
}

TEST(Screens, FailedFirstTimeSetupSaysSoAndWhatToDoOnTwoRows) {
    const std::string failed = firstTimeSetupFailedStatus(1, "tester");
    ASSERT_GT(failed.size(), 80u);
    EXPECT_EQ(failed.substr(0, 80),
              std::string("APPLICATION STATUS= FIRST-TIME SETUP FAILED, su ended with status 1")
                  .append(13, ' '));
    EXPECT_EQ(failed.substr(80),
              "Ask someone with root rights to run  usermod -aG sudo tester  then log in again");
    EXPECT_EQ(firstTimeSetupFailedStatus(1, "o'brien").substr(80),
              "Ask someone with root rights to run usermod -aG sudo 'o'\\''brien'; log in again");
    // Longer names take a shorter form; the advice never reaches a third row.
    EXPECT_EQ(firstTimeSetupFailedStatus(2, "jo-smithson").substr(80),
              "Ask someone with root rights to run usermod -aG sudo jo-smithson; log in again");
    EXPECT_EQ(firstTimeSetupFailedStatus(1, "a-rather-long-name").substr(80),
              "Have root run: usermod -aG sudo a-rather-long-name; log in again");
    EXPECT_EQ(firstTimeSetupFailedStatus(1, std::string(90, 'n')).size(), 160u);
    EXPECT_EQ(firstTimeSetupFailedStatus(0, "tester").substr(80),
              "Log out and in again, then start this installer once more");
}

class Privilege : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        fs::create_directories(tmp / "start");
        fs::create_directories(tmp / "prog");
        fs::current_path(tmp / "start");
        S().APPLICATIONTEXTWALLETINSTALLERVERSION = "0.10.61";
        S().CURRENTOSACCOUNTUSERNAME = "tester";
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp / "prog";
        fake.onRun = [this](const RecordedCommand& c) {
            if (c.commandLine == kSudoProbeCommand) {
                probeCwd = c.cwd;
                // The shell's "2>" truncates the file that is there (keeping its mode).
                FILE* f = std::fopen((c.cwd + "/tempout.txt").c_str(), "r+");
                if (f == nullptr) return 2;
                std::fwrite(probeText.data(), 1, probeText.size(), f);
                std::fclose(f);
                return 1;
            }
            if (c.commandLine == kValidateLine) {
                return refused.count(c.input.value_or("")) != 0 ? 1 : 0;
            }
            return suResult;
        };
    }
    // The elevated commands that do something (the password checks left out).
    std::vector<std::string> elevated() const {
        std::vector<std::string> v;
        for (const auto& c : fake.commands) {
            if (c.commandLine.rfind(kSudo, 0) == 0 && c.commandLine != kValidateLine) {
                v.push_back(c.commandLine);
            }
        }
        return v;
    }
    // The passwords that were offered to sudo's check, in order.
    std::vector<std::string> checked() const {
        std::vector<std::string> v;
        for (const auto& c : fake.commands) {
            if (c.commandLine == kValidateLine) v.push_back(c.input.value_or(""));
        }
        return v;
    }
    static constexpr const char* kValidateLine = "sudo -kS -p '' -v 2>/dev/null";
    std::set<std::string> refused;  // password lines (with their line feed) sudo refuses
    ScopedTempDir tmp;
    std::string probeText = "sudo: a password is required\n";
    std::string probeCwd;
    int suResult = 1;
};

TEST_F(Privilege, PasswordRequiredPromptsWithoutEchoAndJoinsTheGroup) {
    fake.lines.push_back("secret pw");
    runStartupSudoProcedure();

    EXPECT_EQ(S().SUDOPASSWORD, "secret pw");
    EXPECT_EQ(fake.lineEchoes, std::vector<bool>{false});
    EXPECT_NE(fake.screen.find(" Your user password is required for this installer to continue."),
              std::string::npos);
    EXPECT_NE(fake.screen.find("PLEASE ENTER YOUR USER PASSWORD >>> "), std::string::npos);
    ASSERT_EQ(fake.commands.size(), 3u);
    EXPECT_EQ(fake.commands[0].commandLine, "sudo -vn 2> tempout.txt");
    EXPECT_TRUE(fake.commands[0].cLocale);
    EXPECT_EQ(fake.commands[1].commandLine, kValidateLine);
    EXPECT_EQ(fake.commands[1].input, std::string("secret pw\n"));
    EXPECT_EQ(fake.commands[2].commandLine, kSudo + "usermod -aG sudo tester");
    EXPECT_EQ(fake.commands[2].input, std::string("secret pw\n"));
    EXPECT_EQ(probeCwd, tmp / "start");
    EXPECT_EQ(modeOf(tmp / "start/tempout.txt"), 0600u);
    EXPECT_EQ(fs::current_path(), tmp / "start");
}

TEST_F(Privilege, WiderScratchFileFromAnEarlierRunIsReplacedByAPrivateOne) {
    writeFileBytes(tmp / "start/tempout.txt", "old text, Sorry");
    chmod((tmp / "start/tempout.txt").c_str(), 0666);
    EXPECT_EQ(runSudoProbe(), "sudo: a password is required\n");
    EXPECT_EQ(modeOf(tmp / "start/tempout.txt"), 0600u);
}

TEST_F(Privilege, ProbeWorksFromAFolderNobodyCanWrite) {
    fs::current_path("/proc");
    probeText = "Sorry, user tester may not run sudo on vm.\n";
    EXPECT_EQ(runSudoProbe(), probeText);
    EXPECT_NE(probeCwd, "/proc");
    EXPECT_FALSE(fs::exists(probeCwd)) << "the private probe folder is removed";
    EXPECT_EQ(fs::current_path(), "/proc");
}

TEST_F(Privilege, RefusalOrMissingSudoShowsFirstTimeSetup) {
    struct Case {
        std::string probe;
        bool adduserExists;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"Sorry, user tester may not run sudo on vm.\n", true,
         "su -c \"apt install sudo ; /usr/sbin/adduser tester sudo ; skill -TERM -u tester ; "
         "sleep 2 ; skill -KILL -u tester\""},
        {"sh: 1: sudo: not found\n", false,
         "su -c \"apt install sudo ; /usr/sbin/usermod -aG sudo tester ; skill -TERM -u "
         "tester ; sleep 2 ; skill -KILL -u tester\""},
    };
    for (const auto& c : cases) {
        S().SUDOPASSWORD.clear();
        fake.commands.clear();
        fake.screen.clear();
        fake.lineEchoes.clear();
        fake.existingSystemPaths.clear();
        if (c.adduserExists) fake.existingSystemPaths.insert("/usr/sbin/adduser");
        probeText = c.probe;
        fake.lines.push_back("typed pw");

        const std::string status = runStartupSudoProcedure();

        EXPECT_NE(fake.screen.find("   Your user password is required to setup this installer."),
                  std::string::npos);
        EXPECT_NE(fake.screen.find("   After you type in root's password, you will be logged out"),
                  std::string::npos);
        EXPECT_NE(fake.screen.find(kRootPasswordLine), std::string::npos);
        EXPECT_NE(fake.screen.find(" PLEASE ENTER YOUR USER PASSWORD TO CONTINUE >>> "),
                  std::string::npos);
        EXPECT_EQ(fake.lineEchoes, std::vector<bool>{false});
        ASSERT_EQ(fake.commands.size(), 2u) << c.probe;
        EXPECT_EQ(fake.commands[1].commandLine, c.command);
        EXPECT_FALSE(fake.commands[1].input.has_value()) << "su reads the terminal";
        EXPECT_EQ(fake.commands[1].commandLine.find("typed pw"), std::string::npos);
        EXPECT_TRUE(elevated().empty()) << "no usermod in the first-time branch";
        EXPECT_EQ(S().SUDOPASSWORD, "typed pw") << "a failed su leaves the password in use";
        EXPECT_EQ(status, firstTimeSetupFailedStatus(1, "tester"))
            << "the top screen says that su failed";
    }
}

TEST_F(Privilege, GermanRefusalIsReadInEnglish) {
    // A sudo that answers in the desktop's language unless the probe asks for the C locale:
    // the refusal is recognised on a German desktop too, and the first-time setup follows.
    auto answer = fake.onRun;
    fake.onRun = [&](const RecordedCommand& c) {
        if (c.commandLine == kSudoProbeCommand) {
            probeText = c.cLocale ? readFileBytes(std::string(CORVANE_FIXTURES_DIR) +
                                                  "/sudo-vn-stderr-not-in-sudoers.txt")
                                  : readFileBytes(std::string(CORVANE_FIXTURES_DIR) +
                                                  "/sudo-vn-stderr-not-in-sudoers-de.txt");
        }
        return answer(c);
    };
    fake.lines.push_back("pw");
    runStartupSudoProcedure();
    ASSERT_EQ(fake.commands.size(), 2u);
    EXPECT_EQ(fake.commands[1].commandLine.rfind("su -c ", 0), 0u) << fake.commands[1].commandLine;
    EXPECT_NE(fake.screen.find("   Your user password is required to setup this installer."),
              std::string::npos);
}

TEST_F(Privilege, AKnownPasswordSkipsEverything) {
    S().SUDOPASSWORD = "known";
    runStartupSudoProcedure();
    EXPECT_TRUE(fake.commands.empty());
    EXPECT_TRUE(fake.screen.empty());
}

TEST_F(Privilege, EmptyAnswerRunsNoGroupCommand) {
    fake.lines.push_back("");
    runStartupSudoProcedure();
    EXPECT_TRUE(elevated().empty());
}

// The following need the real cipher and record files.

TEST_F(Privilege, StoredPasswordIsPrivateAndUsedOnTheNextStart) {
    fake.lines.push_back("s3cret pw");
    runStartupSudoProcedure();
    ASSERT_TRUE(fs::exists(tmp / "start/sudoPassword.txt"));
    EXPECT_EQ(modeOf(tmp / "start/sudoPassword.txt"), 0600u);
    EXPECT_EQ(modeOf(tmp / "start/hash.txt"), 0600u);
    std::string stored = readFileBytes(tmp / "start/sudoPassword.txt");
    EXPECT_EQ(stored.rfind("password=", 0), 0u) << testing::PrintToString(stored);
    EXPECT_EQ(stored.find("s3cret"), std::string::npos);

    resetSharedState();
    S().CURRENTOSACCOUNTUSERNAME = "tester";
    S().THISPROGRAMEXECUTABLEFILEPATH = tmp / "prog";
    fake.commands.clear();
    fake.lineEchoes.clear();
    runStartupSudoProcedure();
    EXPECT_TRUE(fake.lineEchoes.empty()) << "no prompt with a stored password";
    EXPECT_EQ(S().SUDOPASSWORD, "s3cret pw");
    ASSERT_EQ(elevated(), std::vector<std::string>{kSudo + "usermod -aG sudo tester"});
    EXPECT_EQ(fake.commands.back().input, std::string("s3cret pw\n"));
}

TEST_F(Privilege, RefusedPasswordIsAskedAgainThreeTimesAndNeverStored) {
    refused = {"wrong 1\n", "wrong 2\n", "wrong 3\n"};
    fake.lines = {"wrong 1", "wrong 2", "wrong 3"};
    const std::string status = runStartupSudoProcedure();
    EXPECT_EQ(checked(), (std::vector<std::string>{"wrong 1\n", "wrong 2\n", "wrong 3\n"}));
    EXPECT_EQ(fake.lineEchoes.size(), 3u);
    EXPECT_NE(fake.screen.find(passwordRefusedLine(2)), std::string::npos);
    EXPECT_NE(
        fake.screen.find(" THE PASSWORD WAS NOT ACCEPTED BY SUDO, PLEASE TRY AGAIN (TRY 3 OF 3)"),
        std::string::npos);
    EXPECT_TRUE(S().SUDOPASSWORD.empty());
    EXPECT_TRUE(elevated().empty()) << "no group command with a refused password";
    EXPECT_FALSE(fs::exists(tmp / "start/sudoPassword.txt"));
    EXPECT_EQ(status, kPasswordRefusedStatus);
}

TEST_F(Privilege, SecondTryIsTakenAndStored) {
    refused = {"typo\n"};
    fake.lines = {"typo", "right"};
    const std::string status = runStartupSudoProcedure();
    EXPECT_EQ(S().SUDOPASSWORD, "right");
    EXPECT_EQ(elevated(), std::vector<std::string>{kSudo + "usermod -aG sudo tester"});
    EXPECT_TRUE(fs::exists(tmp / "start/sudoPassword.txt"));
    EXPECT_EQ(status, "");
}

TEST_F(Privilege, StoredPasswordThatSudoRefusesIsRemovedAndAskedFor) {
    fake.lines.push_back("old pw");
    runStartupSudoProcedure();
    ASSERT_TRUE(fs::exists(tmp / "start/sudoPassword.txt"));

    resetSharedState();
    S().CURRENTOSACCOUNTUSERNAME = "tester";
    refused = {"old pw\n"};  // the user changed the password since
    fake.lines = {"new pw"};
    fake.commands.clear();
    runStartupSudoProcedure();
    EXPECT_EQ(checked(), (std::vector<std::string>{"old pw\n", "new pw\n"}));
    EXPECT_EQ(S().SUDOPASSWORD, "new pw");
    resetSharedState();
    refused.clear();
    fake.commands.clear();
    runStartupSudoProcedure();
    EXPECT_EQ(checked(), std::vector<std::string>{"new pw\n"}) << "the new one was stored";
}

TEST_F(Privilege, PasswordOutsideTheCipherIsKeptButNeverStored) {
    fake.lines.push_back("p\xc3\xa4ssword");
    runStartupSudoProcedure();
    EXPECT_EQ(S().SUDOPASSWORD, "p\xc3\xa4ssword");
    EXPECT_FALSE(fs::exists(tmp / "start/sudoPassword.txt"));
    EXPECT_EQ(fake.commands.back().input, std::string("p\xc3\xa4ssword\n"));
}

TEST_F(Privilege, LaunchCheckPromptsStoresAndThenReads) {
    fake.lines.push_back("launch pw");
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_EQ(S().SUDOPASSWORD, "launch pw");
    EXPECT_EQ(fake.lineEchoes, std::vector<bool>{false});
    EXPECT_NE(fake.screen.find("ENTER YOUR SUDO PASSWORD TO LAUNCH "), std::string::npos);
    EXPECT_EQ(fs::current_path(), tmp / "start");
    ASSERT_TRUE(fs::exists(tmp / "prog/sudoPassword.txt"));
    EXPECT_EQ(modeOf(tmp / "prog/sudoPassword.txt"), 0600u);
    EXPECT_EQ(modeOf(tmp / "prog/hash.txt"), 0600u);

    S().SUDOPASSWORD.clear();
    fake.lineEchoes.clear();
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_TRUE(fake.lineEchoes.empty());
    EXPECT_EQ(S().SUDOPASSWORD, "launch pw");

    // Without the pad the user is asked again and the file is rewritten.
    fs::remove(tmp / "prog/hash.txt");
    fake.lines.push_back("new pw");
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_EQ(fake.lineEchoes.size(), 1u);
    S().SUDOPASSWORD.clear();
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_EQ(S().SUDOPASSWORD, "new pw");
    EXPECT_EQ(fake.lineEchoes.size(), 1u);
}

TEST_F(Privilege, LaunchCheckNeverStoresARefusedPassword) {
    refused = {"bad pw\n"};
    fake.lines.push_back("bad pw");
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_EQ(S().SUDOPASSWORD, "bad pw");
    EXPECT_FALSE(fs::exists(tmp / "prog/sudoPassword.txt"));
}

TEST_F(Privilege, LaunchCheckGivesUpOnAnUnstorablePassword) {
    writeFileBytes(tmp / "prog/sudoPassword.txt", "123456");
    fake.lines.push_back("tab\there");
    CHECKSUDOORADMINISTRATORPASSWORDAVAILABILITYINTHISEXECUTABLEFILEPATH();
    EXPECT_EQ(S().SUDOPASSWORD, "tab\there");
    EXPECT_FALSE(fs::exists(tmp / "prog/sudoPassword.txt")) << "no wrong password stays";
}

}  // namespace
