// File-system routines: the creation walk and its commands, erasing, link-safe emptying of
// a folder, and the recursive listing.
#include "host/file_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/installWalletForLinux.h"
#include "host/mount_id.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(PathPrefixes, OnePrefixPerComponent) {
    struct Case {
        std::string path;
        std::vector<std::string> prefixes;
    };
    const std::vector<Case> cases = {
        {"/home/u/a/b", {"/home", "/home/u", "/home/u/a", "/home/u/a/b"}},
        {"/home/u/a/", {"/home", "/home/u", "/home/u/a"}},
        {"rel/x", {"rel", "rel/x"}},
        {"/a//b", {"/a", "/a//b"}},
        {"/my wallet/x\\y", {"/my wallet", "/my wallet/x\\y"}},
        {"", {}},
        {"/", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(pathPrefixes(c.path), c.prefixes) << c.path;
}

TEST(ListingLines, NonEmptyLinesAppendedInOrder) {
    struct Case {
        std::string output;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"/w\n/w/a\n/w/b c\n", {"/w", "/w/a", "/w/b c"}},
        {"/w\n\n/w/a", {"/w", "/w/a"}},
        {"", {}},
        {"\n\n", {}},
    };
    for (const auto& c : cases) {
        StringList list;
        list.clear();
        EXPECT_EQ(appendListingLines(c.output, list), c.lines.size());
        EXPECT_EQ(list.items(), c.lines) << c.output;
    }
}

class FileOps : public WithFakePlatform {
protected:
    void SetUp() override {
        WithFakePlatform::SetUp();
        S().SUDOPASSWORD = "pw";
        fs::current_path(tmp.path());
    }
    ScopedTempDir tmp;
};

TEST_F(FileOps, PathCheckTellsFoldersApartAndKeepsTheCurrentFolder) {
    fs::create_directories(tmp / "u");
    writeFileBytes(tmp / "file", "x");
    struct Case {
        std::string path;
        int64_t found;
    };
    for (const Case& c : std::vector<Case>{
             {tmp / "u", 1}, {"u", 1}, {tmp / "file", 0}, {tmp / "none", 0}, {"", 0}}) {
        S().PATHNAME = c.path;
        CHECKIFPATHEXISTS();
        EXPECT_EQ(S().PATHFOUND, c.found) << c.path;
        CHECKIFLOCALPATHEXISTS();
        EXPECT_EQ(S().PATHFOUND, c.found) << c.path;
        EXPECT_EQ(fs::current_path(), tmp.path());
    }
}

TEST_F(FileOps, WalkCreatesEachMissingFolderAsTheUserWithMode0755) {
    fs::create_directories(tmp / "home/u");
    const mode_t oldMask = umask(0);  // a mask that would leave folders open to all
    for (const std::string leaf : {"a/b", "my wallet"}) {
        S().FILEPATH = (tmp / "home/u") + "/" + leaf;
        CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS();
    }
    umask(oldMask);
    for (const char* made : {"home/u/a", "home/u/a/b", "home/u/my wallet"}) {
        struct stat st {};
        ASSERT_EQ(stat((tmp / made).c_str(), &st), 0) << made;
        EXPECT_EQ(st.st_mode & 07777, 0755u) << made;
        EXPECT_EQ(st.st_uid, getuid()) << made;
    }
    EXPECT_TRUE(fake.commands.empty()) << "no sudo where the user may create";
    EXPECT_EQ(fs::current_path(), tmp.path());

    CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS();
    CREATEALLDIRECTORIESNOTPRESENTINPATH();
    CREATEALLDIRECTORIESNOTPRESENTINPATH2();
    EXPECT_TRUE(fake.commands.empty()) << "a complete path runs nothing";
}

TEST_F(FileOps, RootMakesOnlyWhatTheUserCannotAndGivesItToTheUser) {
    // Nobody may make a folder in /sys: root is asked (with the final mode, then chown -h to
    // the user), the folder is still missing, and the walk stops before the next component.
    for (auto routine :
         {CREATEALLDIRECTORIESNOTPRESENTINPATH2,
          CREATEALLDIRECTORIESNOTPRESENTINPATHWITHEVERYONEOWNERSHIPANDFULLPERMISSIONS}) {
        fake.commands.clear();
        S().FILEPATH = "/sys/corvane no such/inner";
        routine();
        const std::string owner = std::to_string(getuid()) + ":" + std::to_string(getgid());
        EXPECT_EQ(
            fake.commandLines(),
            (std::vector<std::string>{kSudo + "mkdir -m 0755 -- '/sys/corvane no such'",
                                      kSudo + "chown -h " + owner + " -- '/sys/corvane no such'"}));
    }
}

TEST_F(FileOps, OnlyPackagesNobodyElseCanChangeAreSafeForRoot) {
    const unsigned me = getuid();
    fs::create_directories(tmp / "safe/Linux");
    fs::permissions(tmp.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    writeFileBytes(tmp / "safe/Linux/p.deb", "d");
    EXPECT_FALSE(pathOthersCanChange(tmp / "safe/Linux/p.deb", me));
    EXPECT_FALSE(pathOthersCanChange("safe/Linux/p.deb", me));  // relative to the current folder
    chmod((tmp / "safe/Linux").c_str(), 0777);
    EXPECT_TRUE(pathOthersCanChange(tmp / "safe/Linux/p.deb", me));
    chmod((tmp / "safe/Linux").c_str(), 0755);
    chmod((tmp / "safe/Linux/p.deb").c_str(), 0666);
    EXPECT_TRUE(pathOthersCanChange(tmp / "safe/Linux/p.deb", me));
    chmod((tmp / "safe/Linux/p.deb").c_str(), 0644);
    // A link is judged by what it points to, and by the folders it passes through.
    fs::create_directories(tmp / "open");
    chmod((tmp / "open").c_str(), 0777);
    fs::create_symlink(tmp / "safe/Linux/p.deb", tmp / "open/link.deb");
    fs::create_symlink(tmp / "open", tmp / "safe/via");
    EXPECT_TRUE(pathOthersCanChange(tmp / "open/link.deb", me));
    EXPECT_TRUE(pathOthersCanChange(tmp / "safe/via/link.deb", me));
    EXPECT_TRUE(pathOthersCanChange(tmp / "safe/none.deb", me));
    EXPECT_TRUE(pathOthersCanChange(tmp / "safe/Linux", me)) << "not a file";
    // Another owner (not root, not the user) is not safe either.
    EXPECT_EQ(pathOthersCanChange(tmp / "safe/Linux/p.deb", me + 1), me != 0);
}

TEST_F(FileOps, EraseRunsTheRootDeleteOnlyForAReadableFile) {
    fs::create_directories(tmp / "d");
    writeFileBytes(tmp / "d/wallet \"$x\".cfg", "x");
    S().FILEPATH = tmp / "d";
    S().FILENAME = "wallet \"$x\".cfg";
    ERASEFILEIFITEXISTSINFILEPATH();
    EXPECT_EQ(S().FILEFOUND, 1);
    EXPECT_EQ(fake.commandLines(), (std::vector<std::string>{kSudo + "rm -- \"" + (tmp / "d") +
                                                             "/wallet \\\"\\$x\\\".cfg\""}));

    fake.commands.clear();
    S().FILENAME = "missing.cfg";
    ERASEFILEIFITEXISTSINFILEPATH();
    EXPECT_EQ(S().FILEFOUND, 0);
    EXPECT_TRUE(fake.commands.empty());

    ERASEFILEIFITEXISTSINFILEPATH2();
    EXPECT_EQ(S().FILEFOUND, 1);
    EXPECT_EQ(fake.commandLines(),
              (std::vector<std::string>{kSudo + "rm -- \"" + (tmp / "d") + "/missing.cfg\""}));
    EXPECT_EQ(fs::current_path(), tmp.path());
}

TEST_F(FileOps, EmptyingAFolderNeverFollowsLinksOrLeavesIt) {
    // Outside the folder: a file, a folder with content, both reached through links inside.
    fs::create_directories(tmp / "outside/keep");
    writeFileBytes(tmp / "outside/precious", "p");
    writeFileBytes(tmp / "outside/keep/deep", "d");
    fs::create_directories(tmp / "w/a/b/c");
    writeFileBytes(tmp / "w/README", "no dot");
    writeFileBytes(tmp / "w/.hidden", "h");
    writeFileBytes(tmp / "w/libsphinxad.so", "lib");
    writeFileBytes(tmp / "w/a/x.txt", "x");
    writeFileBytes(tmp / "w/a/b/c/y", "y");
    fs::create_directory_symlink(tmp / "outside/keep", tmp / "w/linkdir");
    fs::create_directory_symlink(tmp / "outside", tmp / "w/a/b/up");
    fs::create_symlink(tmp / "outside/precious", tmp / "w/a/linkfile");
    fs::create_symlink(tmp / "nowhere", tmp / "w/dangling");
    chmod((tmp / "w/a/x.txt").c_str(), 0444);

    S().DIRNAME = tmp / "w";
    S().RETURNCODE = 0;
    DELETEDIRPATH5();

    EXPECT_TRUE(fs::is_directory(tmp / "w"));
    EXPECT_TRUE(fs::is_empty(tmp / "w"));
    EXPECT_EQ(S().RETURNCODE, 1);
    EXPECT_EQ(readFileBytes(tmp / "outside/precious"), "p");
    EXPECT_EQ(readFileBytes(tmp / "outside/keep/deep"), "d");
    EXPECT_EQ(fs::current_path(), tmp.path());

    // The library rm -f commands ran once in every folder that was emptied, inside it.
    const auto& libraryCommands = libraryRemoveCommands();
    ASSERT_EQ(libraryCommands.size(), 19u);
    std::set<std::string> folders;
    for (size_t i = 0; i < fake.commands.size(); ++i) {
        EXPECT_EQ(fake.commands[i].commandLine, libraryCommands[i % 19]);
        EXPECT_FALSE(fake.commands[i].input.has_value()) << "not elevated";
        folders.insert(fake.commands[i].cwd);
    }
    EXPECT_EQ(folders,
              (std::set<std::string>{tmp / "w", tmp / "w/a", tmp / "w/a/b", tmp / "w/a/b/c"}));
    EXPECT_EQ(fake.commands.size(), 4u * 19u);
}

TEST_F(FileOps, ALinkGivenAsTheFolderIsNotFollowed) {
    fs::create_directories(tmp / "real");
    writeFileBytes(tmp / "real/keep", "k");
    fs::create_directory_symlink(tmp / "real", tmp / "link");
    DELETEFOLDER();  // DIRNAME empty: nothing at all
    // A trailing "/" would make the system follow the link: it is refused all the same.
    for (const std::string name : {"link", "link/", "link//"}) {
        S().DIRNAME = tmp.path() + "/" + name;
        DELETEFOLDER();
        EXPECT_EQ(readFileBytes(tmp / "real/keep"), "k") << name;
    }
    EXPECT_TRUE(fake.commands.empty());
}

TEST(MountInfo, MountPointsAreReadUnescaped) {
    const std::string info =
        "22 1 0:21 / /proc rw,nosuid - proc proc rw\n"
        "95 29 8:1 /data/x /home/u/my\\040wallet/archive rw - ext4 /dev/sda1 rw\n";
    EXPECT_TRUE(mountinfoListsMountPoint(info, "/proc"));
    EXPECT_TRUE(mountinfoListsMountPoint(info, "/home/u/my wallet/archive"));
    EXPECT_FALSE(mountinfoListsMountPoint(info, "/home/u/my wallet"));
    EXPECT_FALSE(mountinfoListsMountPoint(info, "/data/x"));
}

class Listing : public FileOps {
protected:
    void SetUp() override {
        FileOps::SetUp();
        fs::create_directories(tmp / "prog");
        S().THISPROGRAMEXECUTABLEFILEPATH = tmp / "prog";
        // The capture's command really runs, so the listing is what find prints.
        fake.onRun = [](const RecordedCommand& c) {
            return realPlatform().run(c.commandLine, CommandOptions{});
        };
    }
};

TEST_F(Listing, AFolderWithNEntriesBelowGivesNPlusOne) {
    fs::create_directories(tmp / "my tree/sub/deeper");
    writeFileBytes(tmp / "my tree/f1", "1");
    writeFileBytes(tmp / "my tree/sub/f2", "2");
    fs::current_path(tmp / "my tree");  // n = 4 entries below it
    S().TEMPORARYDYNAMICARRAY.append("stale");
    ENUMERATERECURSIVEFILEANDFOLDERNAMESINCURRENTFOLDERINTOTEMPORARYDYNAMICARRAY();

    ASSERT_FALSE(fake.commands.empty());
    EXPECT_EQ(fake.commands[0].commandLine.rfind("find -- '" + (tmp / "my tree") + "'", 0), 0u)
        << fake.commands[0].commandLine;
    EXPECT_EQ(S().NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY, 5u);
    ASSERT_EQ(S().TEMPORARYDYNAMICARRAY.upperBound(), 5u);
    EXPECT_EQ(S().TEMPORARYDYNAMICARRAY[1], tmp / "my tree");
    std::set<std::string> rest;
    for (size_t i = 2; i <= 5; ++i) rest.insert(S().TEMPORARYDYNAMICARRAY[i]);
    EXPECT_EQ(rest, (std::set<std::string>{tmp / "my tree/f1", tmp / "my tree/sub",
                                           tmp / "my tree/sub/deeper", tmp / "my tree/sub/f2"}));
    EXPECT_EQ(fs::current_path(), tmp / "my tree");
}

TEST_F(Listing, NoOutputKeepsTheOldListWithCountZero) {
    fake.onRun = [](const RecordedCommand&) { return 0; };
    S().TEMPORARYDYNAMICARRAY[1] = "old";
    S().NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY = 7;
    ENUMERATERECURSIVEFILEANDFOLDERNAMESINCURRENTFOLDERINTOTEMPORARYDYNAMICARRAY();
    EXPECT_EQ(S().NUMBEROFFILEANDFOLDERNAMESINCURRENTFOLDERINTEMPORARYDYNAMICARRAY, 0u);
    EXPECT_EQ(S().TEMPORARYDYNAMICARRAY[1], "old");
}

}  // namespace
