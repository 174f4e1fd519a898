// Launchers: both forms for every terminal case against the recorded launcher files, the Exec
// quoting of paths with blanks, the XDG desktop folder, and the writing with its commands.
#include "install/launchers.h"

#include <filesystem>

#include "core/shared_state.h"
#include "test_support.h"

namespace {

using launchers::Form;
using launchers::TerminalChoice;

std::string fixture(const std::string& rel) {
    return readFileBytes(std::string(CORVANE_FIXTURES_DIR) + "/launchers/" + rel);
}

struct LauncherCase {
    const char* name;  // file name in the fixture folders
    Form form;
    const char* current;
    const char* fallback;
    const char* folder;  // AP (form A) or IP (form B)
    const char* home;
};

const LauncherCase kCases[] = {
    {"A-gnome-plain", Form::A, "gnome-terminal", "", "/home/tester/wallet", ""},
    {"A-gnome-space", Form::A, "gnome-terminal", "", "/media/user/My Disk/wallet", ""},
    {"A-mate-plain", Form::A, "mate-terminal", "", "/home/tester/wallet", ""},
    {"A-mate-space", Form::A, "", "mate-terminal", "/media/user/My Disk/wallet", ""},
    {"A-noterm-plain", Form::A, "xterm", "uxterm", "/home/tester/wallet", ""},
    {"A-noterm-space", Form::A, "", "", "/media/user/My Disk/wallet", ""},
    {"B-gnome-plain", Form::B, "gnome-terminal", "", "/home/tester", "/home/tester"},
    {"B-gnome-space", Form::B, "", "gnome-terminal", "/media/user/My Disk", "/home/jo smith"},
    {"B-mate-plain", Form::B, "mate-terminal", "xterm", "/home/tester", "/home/tester"},
    {"B-noterm-plain", Form::B, "", "", "/home/tester", "/home/tester"},
    {"B-noterm-space", Form::B, "", "", "/media/user/My Disk", "/home/jo smith"},
    {"B-xterm-plain", Form::B, "xterm", "gnome-terminal", "/home/tester", "/home/tester"},
};

std::string contentFor(const LauncherCase& c) {
    if (c.form == Form::A) {
        const std::string ap = c.folder;
        return launchers::formAContent(launchers::terminalForFormA(c.current, c.fallback), ap,
                                       ap + "/wallet", ap + "/wallet.ico");
    }
    return launchers::formBContent(launchers::terminalForFormB(c.current, c.fallback),
                                   std::string(c.home) + "/wallet/wallet",
                                   std::string(c.folder) + "/wallet.ico");
}

TEST(Launchers, ContentOfEveryFormAndTerminalMatchesTheRecordedFiles) {
    for (const LauncherCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string content = contentFor(c);
        // The first byte is a blank, the second a line feed; the rest is the valid launcher.
        EXPECT_EQ(content, " \n" + fixture(std::string("valid-variants/") + c.name + ".desktop"));
        // Plain paths keep the documented bytes exactly.
        if (std::string(c.name).find("plain") != std::string::npos) {
            EXPECT_EQ(content, fixture(std::string("documented/") + c.name + ".desktop"));
        }
    }
}

TEST(Launchers, TerminalChoiceOfBothForms) {
    struct Row {
        const char* current;
        const char* fallback;
        std::optional<std::pair<std::string, std::string>> a, b;
    };
    using P = std::pair<std::string, std::string>;
    const Row rows[] = {
        {"mate-terminal", "", P{"mate-terminal", " -x "}, P{"mate-terminal", " -x "}},
        {"gnome-terminal", "mate-terminal", P{"gnome-terminal", " -e "},
         P{"gnome-terminal", " -e "}},
        {"xfce4-terminal", "", P{"xfce4-terminal", " -e "}, P{"xfce4-terminal", " -e "}},
        {"xterm", "", std::nullopt, P{"xterm", " -e "}},
        {"uxterm", "xfce4-terminal", P{"xfce4-terminal", " -e "}, P{"uxterm", " -e "}},
        {"", "mate-terminal", P{"mate-terminal", " -x "}, P{"mate-terminal", " -x "}},
        {"", "xterm", std::nullopt, P{"xterm", " -e "}},
        {"", "", std::nullopt, std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.current) + "/" + r.fallback);
        auto a = launchers::terminalForFormA(r.current, r.fallback);
        auto b = launchers::terminalForFormB(r.current, r.fallback);
        ASSERT_EQ(a.has_value(), r.a.has_value());
        if (a) {
            EXPECT_EQ(P(a->terminal, a->option), *r.a);
        }
        ASSERT_EQ(b.has_value(), r.b.has_value());
        if (b) {
            EXPECT_EQ(P(b->terminal, b->option), *r.b);
        }
    }
}

TEST(Launchers, ExecArgumentQuotingForReservedCharacters) {
    struct Row {
        const char* path;
        const char* option;
        const char* expected;
    };
    const Row rows[] = {
        {"/home/u/wallet/wallet", " -e ", "/home/u/wallet/wallet"},
        {"/home/u/wallet/wallet", "", "/home/u/wallet/wallet"},
        {"/a b/wallet", "", "\"/a b/wallet\""},
        {"/a b/wallet", " -x ", "\"/a b/wallet\""},
        {"/a b/wallet", " -e ", "\"'/a b/wallet'\""},
        // A double quote, a dollar and a backquote take a backslash, which the string
        // escape of the format doubles.
        {"/a\"b/w", "", "\"/a\\\\\"b/w\""},
        {"/a$b/w", "", "\"/a\\\\$b/w\""},
        {"/it's/w", " -e ", "\"'/it'\\\\\\\\''s/w'\""},
        {"/100%/w", "", "\"/100%%/w\""},
        {"/a;b/w", " -x ", "\"/a;b/w\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.path) + "|" + r.option);
        EXPECT_EQ(launchers::execProgramArgument(r.path, r.option), r.expected);
    }
}

TEST(Launchers, XdgDesktopDirIsReadFromUserDirs) {
    struct Row {
        const char* text;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"\n",
         "/home/u/Bureau"},
        {"XDG_DESKTOP_DIR=\"/srv/desk top\"\n", "/srv/desk top"},
        {"  XDG_DESKTOP_DIR=\"$HOME/Schreib\\\"tisch\"\r\n", "/home/u/Schreib\"tisch"},
        {"#XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", std::nullopt},
        {"XDG_DESKTOP_DIR=relative\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(launchers::parseXdgDesktopDir(r.text, "/home/u"), r.expected);
    }
}

class LauncherWriting : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        home = dir.path() + "/home";
        std::filesystem::create_directories(home);
        S().CURRENTUSERHOMEPATH = home;
        S().CURRENTOSACCOUNTUSERHOMEPATH = home;
        S().APPLICATIONTEXTWALLETINSTALLATIONPATH = home;
        S().APPLICATIONTEXTWALLETAPPLICATIONPATH = home + "/wallet";
        S().CURRENTTERMINALEMULATOREXECUTABLEFILENAME = "gnome-terminal";
        S().SUDOPASSWORD = "pw";
    }
    ScopedTempDir dir;
    std::string home;
};

TEST_F(LauncherWriting, DesktopFolderFallsBackToXdgThenCreatesDesktop) {
    // No Desktop, XDG folder present: the launcher goes there.
    std::filesystem::create_directories(home + "/.config");
    std::filesystem::create_directories(home + "/Bureau");
    writeFileBytes(home + "/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    EXPECT_EQ(launchers::desktopFolder(home), home + "/Bureau");
    // XDG folder named but missing: Desktop, created on writing.
    std::filesystem::remove(home + "/Bureau");
    EXPECT_EQ(launchers::desktopFolder(home), home + "/Desktop");
    auto file = launchers::writeLauncher(launchers::automaticPlacement('B', home));
    EXPECT_EQ(file, home + "/Desktop/Corvane wallet.desktop");
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    // An existing Desktop wins over the XDG folder.
    std::filesystem::create_directories(home + "/Bureau");
    EXPECT_EQ(launchers::desktopFolder(home), home + "/Desktop");
}

TEST_F(LauncherWriting, UserFilesAreWrittenByTheProgramOnlyTheAllUsersCopyByRoot) {
    namespace fs = std::filesystem;
    fs::create_directories(home + "/Desktop");
    const std::string start = fs::current_path().string();
    const std::string desk = home + "/Desktop/";
    const std::string menu = home + "/.local/share/applications/";
    // A link planted where a launcher goes, pointing at a private file of the user's.
    writeFileBytes(dir.path() + "/secret", "s");
    fs::permissions(dir.path() + "/secret", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir.path() + "/secret", desk + "Corvane wallet.desktop");
    std::string copied;  // what root was given to install for all users
    fake.onRun = [&](const RecordedCommand& c) {
        const std::size_t at = c.commandLine.find(" /tmp/corvane-launcher-");
        const std::size_t end = c.commandLine.find(" '/usr/share/applications/");
        if (at != std::string::npos && end != std::string::npos) {
            copied = readFileBytes(c.commandLine.substr(at + 1, end - at - 1));
        }
        return 0;
    };
    struct Row {
        char variant;
        std::string file;
        bool inUserMenu;
        std::string cwdAfter;
    };
    const std::vector<Row> rows = {
        {'A', desk + "Corvane wallet.desktop", true, home + "/Desktop"},
        {'C', desk + "Corvane wallet.desktop", true, start},
        {'D', desk + "wallet.desktop", false, start},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.variant);
        fs::current_path(start);
        fake.commands.clear();
        launchers::Placement p = launchers::automaticPlacement(r.variant, home);
        p.program = "/x/wallet";
        p.icon = "/x/wallet.ico";
        const std::string written = launchers::writeLauncher(p);
        EXPECT_EQ(written, r.file);
        EXPECT_EQ(fs::current_path().string(), r.cwdAfter);
        if (r.variant == 'D') {
            // Root installs a private copy, owned by root with mode 0644; the desktop one goes.
            ASSERT_EQ(fake.commands.size(), 1u);
            const std::string& line = fake.commands[0].commandLine;
            EXPECT_EQ(
                line.rfind(kSudo + "install -o root -g root -m 0644 -- /tmp/corvane-launcher-", 0),
                0u);
            EXPECT_TRUE(line.ends_with(" '/usr/share/applications/Corvane wallet.desktop'"));
            EXPECT_EQ(fake.commands[0].input, std::optional<std::string>("pw\n"));
            EXPECT_NE(copied.find("Exec=gnome-terminal -e /x/wallet\n"), std::string::npos);
            EXPECT_FALSE(fs::exists(fs::symlink_status(r.file)));
            continue;
        }
        EXPECT_TRUE(fake.commands.empty()) << "no sudo for the user's own files";
        for (const std::string& f : {r.file, menu + "Corvane wallet.desktop"}) {
            const auto st = fs::symlink_status(f);
            EXPECT_TRUE(fs::is_regular_file(st)) << f;
            EXPECT_EQ(st.permissions() & fs::perms::all, static_cast<fs::perms>(0755)) << f;
            EXPECT_NE(readFileBytes(f).find("Icon=/x/wallet.ico\n"), std::string::npos);
        }
    }
    // The planted link was replaced, not followed.
    EXPECT_EQ(readFileBytes(dir.path() + "/secret"), "s");
    EXPECT_EQ(fs::status(dir.path() + "/secret").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(LauncherWriting, EmptyPasswordSkipsCopyAndMove) {
    std::filesystem::create_directories(home + "/Desktop");
    S().SUDOPASSWORD.clear();
    for (char v : {'A', 'B', 'D'}) {
        SCOPED_TRACE(v);
        fake.commands.clear();
        const std::string file = launchers::writeLauncher(launchers::automaticPlacement(v, home));
        EXPECT_TRUE(fake.commands.empty());
        EXPECT_TRUE(std::filesystem::is_regular_file(file));
    }
    EXPECT_FALSE(std::filesystem::exists(home + "/.local/share/applications"));
}

TEST(LauncherMessages, ManualMenuTexts) {
    EXPECT_EQ(launchers::successMessage("/home/u/Desktop"),
              "SUCCESS, wallet.desktop CREATED IN /home/u/Desktop      ");
    EXPECT_EQ(launchers::iconMissingMessage("/home/u/wallet/"),
              "SORRY, wallet.ico IS NOT PRESENT IN /home/u/wallet/");
}

}  // namespace
