// The automatic installation: one flow for the four variants, whose differences are data
// (VariantPlan), and the bounded copy-and-verify that the manual menus reuse.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace install {

enum class Variant { A, B, C, D };
// How the flow reports progress: redraws of the progress screen (A), the status line alone
// (B, C), or not at all (D).
enum class StatusMode { Redraw, Shown, Silent };
enum class Download { ArchiveRefresh, FolderDownload };
enum class Outcome { Completed, Stopped };

struct FolderStep {
    std::string path;
    std::optional<std::string> status;  // shown before the folder is created
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

// The .deb files of the Linux folder, in installation order.
const std::vector<std::string>& walletPackages();

// The plan of a variant for installation path ip (pure).
VariantPlan planFor(Variant v, const std::string& ip);

// Runs the flow. Completed: every step ran (after variant A the caller ends the program).
// Stopped: the download folder could not be entered, the download timed out, the archive was
// refused, or a copy's source never arrived; the status says which and the working directory
// is back where the flow started.
Outcome runAutomaticInstallation(Variant v);

// Ends the program after a completed variant A, through the normal exit path (exit status 0).
[[noreturn]] void endProgramAfterInstallation();

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

// Makes a file of the user's own executable for all (a+x) without following a link.
bool makeExecutable(const std::string& file);

// The status of a flow stopped by a missing file (or a package that others could have
// changed), in the status line's own style, cut to columns by shortening the path from its
// front ("..." marks the cut).
inline constexpr std::size_t kStatusColumns = 80;
std::string missingFileStatus(const std::string& path, bool labelled,
                              std::size_t columns = kStatusColumns);
std::string unsafePackageStatus(const std::string& path, bool labelled,
                                std::size_t columns = kStatusColumns);
// The status of a flow stopped before its download because the download folder could not be
// made or entered (the download would have filled whatever folder the flow stood in).
std::string cannotEnterStatus(const std::string& folder, bool labelled,
                              std::size_t columns = kStatusColumns);
// text + path within columns: the path keeps its end.
std::string fitWithPath(const std::string& text, const std::string& path, std::size_t columns);
// The stop status after the download was given up at its overall bound (net::wgetTotalSeconds).
std::string downloadTimedOutStatus(bool labelled);

}  // namespace install
