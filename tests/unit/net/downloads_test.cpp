// Archive downloads: the wget command lines byte for byte, the archive refresh's two lines,
// waits and folder check, and the private wgetrc that bounds wget.
#include "net/downloads.h"

#include <cstdlib>
#include <filesystem>

#include "app/installWalletForLinux.h"
#include "test_support.h"

namespace {

TEST(WgetCommands, CommandLinesByteForByte) {
    const std::string tail = net::remotePathArgument(
        "a@b.example", "ferric3basin8", net::ftpAddress("h.example", "archive/wallet/current"));
    EXPECT_EQ(
        tail,
        " --user=a@b.example --password=ferric3basin8 ftp://h.example/archive/wallet/current");
    // An empty pair of quotes after -R; two blanks between index.html* and --user=.
    EXPECT_EQ(net::timestampingMirrorCommand("", tail),
              "wget -N -r -R \"\" -e robots=off -nH --level=0 --no-parent --reject=index.html*  "
              "--user=a@b.example --password=ferric3basin8 ftp://h.example/archive/wallet/current");
    EXPECT_EQ(
        net::folderDownloadCommand(" --user=ledger2 --password=harbor9# ftp://f.example/current"),
        "wget -r -e robots=off -nH --progress=bar:force  --level=0 --no-parent "
        "--reject=index.html*  --user=ledger2 --password=harbor9# ftp://f.example/current "
        "> /dev/null");
    // An empty REMOTEPATH leaves two blanks before the redirection.
    EXPECT_EQ(net::folderDownloadCommand(""),
              "wget -r -e robots=off -nH --progress=bar:force  --level=0 --no-parent "
              "--reject=index.html*  > /dev/null");
    const std::string second = net::secondServerRemotePath();
    EXPECT_EQ(second.rfind(" --user=ledger2 --password=harbor9# ftp://", 0), 0u);
    EXPECT_EQ(second.substr(second.size() - 8), "/current");
    EXPECT_EQ(second.find(' ', 42), std::string::npos);
}

TEST(WgetCommands, PrivateWgetrcKeepsTheUsersLinesAndEndsWithTheBound) {
    const std::string bound = "timeout = 20\ntries = 2\nremove_listing = off\nretr_symlinks = on\n";
    EXPECT_EQ(net::boundedWgetrcContent(""), bound);
    EXPECT_EQ(net::boundedWgetrcContent("passive_ftp = on\n"), "passive_ftp = on\n" + bound);
    EXPECT_EQ(net::boundedWgetrcContent("tries = 0"), "tries = 0\n" + bound);
    // The user's own link handling never holds for the download.
    EXPECT_EQ(net::boundedWgetrcContent("retr_symlinks = off\n"), "retr_symlinks = off\n" + bound);
}

class ArchiveRefresh : public WithFakePlatform {};

TEST_F(ArchiveRefresh, MissingArchiveFolderPrintsCheckingOnlyAndRunsNothing) {
    ScopedTempDir dir;
    S().CURRENTWALLETARCHIVEPATH = dir / "no-such-folder";
    DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER();
    EXPECT_NE(fake.screen.find("ARCHIVE FILES CHECK..................... CHECKING"),
              std::string::npos);
    EXPECT_EQ(fake.screen.find("DOWNLOADING"), std::string::npos);
    EXPECT_EQ(fake.sleptMs, 5000);
    EXPECT_TRUE(fake.commands.empty());
}

TEST_F(ArchiveRefresh, ExistingFolderDownloadsWithABoundedWgetrc) {
    ScopedTempDir dir;
    writeFileBytes(dir / "userrc", "passive_ftp = on\n");
    setenv("WGETRC", (dir / "userrc").c_str(), 1);
    S().CURRENTWALLETARCHIVEPATH = dir.path();
    std::string seenRc, seenContent;
    fake.onRun = [&](const RecordedCommand&) {
        seenRc = std::getenv("WGETRC");
        seenContent = readFileBytes(seenRc);
        return 4;  // wget's status is not read
    };
    DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER();
    EXPECT_NE(fake.screen.find("ARCHIVE FILES CHECK..................... DOWNLOADING"),
              std::string::npos);
    EXPECT_EQ(fake.sleptMs, 7000);
    ASSERT_EQ(fake.commands.size(), 1u);
    // The archive server's address and account are deployment settings: the line has the
    // documented shape around them.
    const std::string& line = fake.commands[0].commandLine;
    EXPECT_EQ(line.rfind("wget -N -r -R \"\" -e robots=off -nH --level=0 --no-parent "
                         "--reject=index.html*  --user=",
                         0),
              0u)
        << line;
    EXPECT_TRUE(line.ends_with("/archive/wallet/current")) << line;
    EXPECT_EQ(S().REMOTEPATH.rfind(" --user=", 0), 0u);
    EXPECT_TRUE(line.ends_with(S().REMOTEPATH)) << line;
    EXPECT_EQ(
        seenContent,
        "passive_ftp = on\ntimeout = 20\ntries = 2\nremove_listing = off\nretr_symlinks = on\n");
    // However slowly the server sends, the run ends after 30 minutes.
    EXPECT_EQ(fake.commands[0].timeLimitSeconds, 1800);
    // The user's WGETRC is back and the private file gone.
    EXPECT_EQ(std::string(std::getenv("WGETRC")), dir / "userrc");
    EXPECT_FALSE(std::filesystem::exists(seenRc));
    unsetenv("WGETRC");
}

}  // namespace

namespace {

// The "ls -l" lines of an FTP listing that wget keeps: regular files with their sizes.
TEST(DownloadListing, RegularFilesAndTheirSizes) {
    const std::pair<const char*, std::optional<net::ListedFile>> cases[] = {
        {"-rw-r--r--   1 owner    group       30070 Dec 09 05:35 wallet.ico\r",
         net::ListedFile{"wallet.ico", 30070}},
        {"-rwxr-xr-x 1 ftp ftp 118 Jan  1  2026 My Wallet", net::ListedFile{"My Wallet", 118}},
        {"drwxr-xr-x   2 owner    group        4096 Dec 09 05:35 Linux", std::nullopt},
        {"lrwxrwxrwx   1 owner    group           4 Dec 09 05:35 w -> x", std::nullopt},
        {"-rw-r--r--   1 owner    group       12x Dec 09 05:35 bad", std::nullopt},
        {"total 12", std::nullopt},
    };
    for (const auto& [line, want] : cases) {
        const auto got = net::parseListingLine(line);
        ASSERT_EQ(got.has_value(), want.has_value()) << line;
        if (got) {
            EXPECT_EQ(std::make_pair(got->name, got->size), std::make_pair(want->name, want->size));
        }
    }
}

}  // namespace
