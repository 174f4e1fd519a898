// Archive downloads: the wget command lines of the archive refresh and the folder download,
// the credentials of the two archive servers, and the private wgetrc that bounds every wget run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// Remote folder of the wallet archive server that the archive refresh mirrors.
inline constexpr const char* kArchiveRemoteFolder = "archive/wallet/current";
// Remote folder of the second server that the folder download mirrors.
inline constexpr const char* kSecondServerRemoteFolder = "current";

// Limits written into the private wgetrc: seconds per network wait, attempts per file.
inline constexpr int kWgetTimeoutSeconds = 20;
inline constexpr int kWgetTries = 2;

// The longest one wget run may take in all: 30 minutes, enough for the wallet archive at
// 50 kB/s, while a server that trickles a few bytes a second is given up. The sandbox's tests
// scale it down through the environment variable CORVANE_WGET_TIME_LIMIT_SECONDS.
inline constexpr int kWgetTotalSeconds = 1800;
// kWgetTotalSeconds, or the positive whole number of seconds in CORVANE_WGET_TIME_LIMIT_SECONDS.
int wgetTotalSeconds();

// "ftp://" + host + "/" + folder.
std::string ftpAddress(std::string_view host, std::string_view folder);
// " --user=" account " --password=" password " " address: the tail of a wget line (values bare).
std::string remotePathArgument(std::string_view account, std::string_view password,
                               std::string_view address);
// The REMOTEPATH of the archive refresh (wallet archive server, e-mail-form account).
std::string archiveServerRemotePath();
// The REMOTEPATH of the folder downloads from the second server (remote folder "current").
std::string secondServerRemotePath();

// The timestamping mirror: wget -N -r -R "<reject>" -e robots=off ... index.html* <remotePath>.
std::string timestampingMirrorCommand(std::string_view rejectList, std::string_view remotePath);
// The folder download: progress bar only, standard output discarded.
std::string folderDownloadCommand(std::string_view remotePath);

// Content of the private wgetrc: the user's own wgetrc text, then the timeout and tries lines
// and retr_symlinks = on (later lines win in a wgetrc, so these hold whatever the user's file
// says). retr_symlinks on: a link that the server lists is fetched as the file it names (or
// not at all), never made as a link here that a later run would write through.
std::string boundedWgetrcContent(std::string_view userWgetrc);
// The wgetrc the user's wget would read: $WGETRC when set, else $HOME/.wgetrc.
std::string userWgetrcPath();

// wget's exit status of a download (0 when it worked; kDownloadNotRun when the archive
// refresh found no local archive folder and ran nothing).
inline constexpr int kDownloadNotRun = -1;
// Not wget's: a file arrived shorter than the server listed it (see cutShortFile).
inline constexpr int kDownloadCutShort = -2;
// wget did not run at all (see DownloadResult::refusal).
inline constexpr int kDownloadRefused = -3;

// How one download ended.
struct DownloadResult {
    // wget's exit status (124 when the overall bound stopped it), kDownloadNotRun or
    // kDownloadRefused.
    int status = 0;
    // Stopped by the overall bound: what it left below its folder may be cut short, so a flow
    // must not take it as the wallet's files.
    bool timedOut = false;
    // Why wget did not run, as the stop status (without the status line's label, at most 58
    // columns): "Installation Stopped, Download Busy (Process N)", "...Link Not Removed PATH",
    // "...Cannot Lock PATH", "...No Private wget Settings". Nothing when it ran.
    std::optional<std::string> refusal;
};

// Runs a wget command line with WGETRC pointing to a private bounded wgetrc for the duration
// of the call (the previous WGETRC is restored and the private file removed afterwards), and
// stops it after wgetTotalSeconds() in all.
// wget runs in folder and mirrors below it. Before wget starts: the download lock of folder is
// taken (net/download_guard.h) and every link where wget will write is removed. When either
// fails, folder is empty, or the private wgetrc cannot be made, wget does not run:
// kDownloadRefused, with the refusal.
DownloadResult runBoundedWget(const std::string& folder, const std::string& commandLine);
// One regular file of an FTP listing (the .listing that wget keeps: "ls -l" lines).
struct ListedFile {
    std::string name;
    std::uintmax_t size = 0;
};
std::optional<ListedFile> parseListingLine(std::string_view line);
// Holds every file below folder against the .listing wget left beside it (recursive FTP
// downloads go on after a transfer breaks off and still exit 0): the first file whose size
// differs from the listed one, if any. Removes the .listing files.
std::optional<std::string> cutShortFile(const std::string& folder);

// What a wget exit status means, in a few words ("network unreachable" for 4, "login refused"
// for 6, "server error" for 8, "time bound reached" when the overall bound stopped it, ...);
// "" for 0. wgetFailureCause adds the status: "login refused (wget exit status 6)".
std::string wgetProblem(int status);
std::string wgetFailureCause(int status);

// The archive refresh below folder: its "ARCHIVE FILES CHECK" lines and waits, then the
// timestamping mirror of the wallet archive server, skipping the files named in rejectList.
// kDownloadNotRun, and nothing run, when archiveFolder cannot be entered.
DownloadResult refreshArchiveIn(const std::string& folder, const std::string& archiveFolder,
                                std::string_view rejectList);
// The folder download of remotePath (see secondServerRemotePath) below folder.
DownloadResult downloadFolderIn(const std::string& folder, std::string_view remotePath);

}  // namespace net

// The download routines: the same, below the current folder.
void DOWNLOADNEWERORNONEXISTENTFILESANDFOLDERSWITHOUTASPECIFIEDSTRINGTOLOCALWALLETARCHIVEFROMREMOTEWALLETARCHIVESERVER();
void DOWNLOADTHEFOLDERFROMFTPWITHTIMESTAMPINGANDVERBOSITY();
void DOWNLOADTHEFOLDERWITHCONSOLEOUTPUT();
