// The automatic installation: one flow for the four variants, whose differences are data
// (VariantPlan), and the bounded copy-and-verify that the manual menus reuse.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/screen.h"
#include "core/shared_state.h"

namespace install {

enum class Variant { A, B, C, D };
// How the flow reports progress: redraws of the progress screen (A), the status line alone
// (B, C), or not at all (D).
enum class StatusMode { Redraw, Shown, Silent };
enum class Download { ArchiveRefresh, FolderDownload };
// Completed: every step ran and none failed. WithProblems: every step ran, some failed (the
// last installation's results say which). Stopped: a step the others need failed.
enum class Outcome { Completed, WithProblems, Stopped };

struct FolderStep {
    std::string path;
    std::optional<std::string> status;  // shown before the folder is created
    bool privateFolder = false;         // the wallet's own data: mode 0700
};

struct VariantPlan {
    Variant variant = Variant::A;
    StatusMode statusMode = StatusMode::Redraw;
    std::vector<FolderStep> folders;             // created in this order
    std::optional<std::string> applicationPath;  // new APPLICATIONTEXTWALLETAPPLICATIONPATH
    std::string archivePath;                     // CURRENTWALLETARCHIVEPATH
    std::string downloadFolder;                  // working directory of the download
    Download download = Download::ArchiveRefresh;
    std::string sourceFolder;  // where the download leaves the files
    std::string iconTarget;
    std::optional<std::string> tellersTarget;  // the tellers file's copy, if any
    bool installPackages = false;              // the two .deb files of the Linux folder
    std::string programTarget;                 // also the chmod target
    int waitAfterProgramMs = 0;
    char launcherVariant = 'A';
    std::string configFolder;            // folder of wallet.cfg
    bool applicationPathRecord = false;  // third record, object-marker writer
    bool provisionPackages = false;      // PROCESSCHECK64
    std::string finalStatus;
    bool labelledStatus = true;  // status texts carry "APPLICATION STATUS= "
};

// What this run installed or picked last, kept between the menus (in the run's memory).
using RunRecord = RunMemory::Installed;
RunRecord& thisRun();

// The .deb files of the Linux folder, in installation order.
const std::vector<std::string>& walletPackages();

// The plan of a variant for installation path ip (pure).
VariantPlan planFor(Variant v, const std::string& ip);

// The lines of the screen that a Redraw flow draws again with each status: the progress form
// of the menu that started it (the menu hands it in; the flow knows no menu).
using ProgressScreen = std::function<std::vector<std::string>()>;

// The file that cp writes when told to copy from to to: to itself, or to/<name of from>
// when to is an existing folder.
std::string copyDestination(const std::string& from, const std::string& to);

// Copy and verify: copies (as the user; a link at the destination is not written through),
// then repeats the copy once per retry interval until a regular file of the source's size
// stands at the destination, at most kCopyAttempts times in all (about 30 s). Returns the
// destination, or nullopt when nothing arrived.
inline constexpr int kCopyAttempts = 30;
inline constexpr int kCopyRetryMs = 1000;
std::optional<std::string> copyAndVerify(const std::string& from, const std::string& to);
// The same, saying why nothing arrived: the errno of the last write (0 when the source never
// stood there), or that the source and the target are one file (then nothing is written:
// copying a file onto itself would empty it).
struct CopyOutcome {
    std::optional<std::string> destination;
    int error = 0;
    bool sameFile = false;
};
CopyOutcome copyVerified(const std::string& from, const std::string& to);

// Makes a file of the user's own executable for all (a+x) without following a link.
bool makeExecutable(const std::string& file);

// The status of a flow stopped by a missing file (or a package that others could have
// changed), in the status line's own style, cut to columns by shortening the path from its
// front ("..." marks the cut).
std::string missingFileStatus(const std::string& path, bool labelled,
                              std::size_t columns = kScreenColumns);
std::string unsafePackageStatus(const std::string& path, bool labelled,
                                std::size_t columns = kScreenColumns);
// The status of a flow stopped before its download because the download folder could not be
// made or entered (the download would have filled whatever folder the flow stood in).
std::string cannotEnterStatus(const std::string& folder, bool labelled,
                              std::size_t columns = kScreenColumns);
// The stop status of a download that wget reported as failed ("Installation Stopped, Download
// Failed: network unreachable"), for a wget exit status (net::wgetProblem).
std::string downloadFailedStatus(int wgetStatus, std::size_t columns = kScreenColumns);
// The status of an installation whose steps all ran while some failed.
std::string problemsStatus(bool labelled, std::size_t failures);
// text + path within columns: the path keeps its start and its end ("..." marks the cut).
std::string fitWithPath(const std::string& text, const std::string& path, std::size_t columns);
// The stop status after the download was given up at its overall bound (net::wgetTotalSeconds).
std::string downloadTimedOutStatus(bool labelled);

}  // namespace install
