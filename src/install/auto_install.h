// The automatic installation: one flow for the four variants, whose differences are data
// (VariantPlan), and the bounded copy-and-verify that the manual menus reuse.
#pragma once

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
// Stopped: a copy's source never arrived; the status names it and the working directory is
// back where the flow started.
Outcome runAutomaticInstallation(Variant v);

// Ends the program after a completed variant A, through the normal exit path (exit status 0).
[[noreturn]] void endProgramAfterInstallation();

// Copy and verify: copies, then repeats the copy once per retry interval while the target is
// absent, at most kCopyAttempts times in all (about 30 s). Returns whether the target exists.
inline constexpr int kCopyAttempts = 30;
inline constexpr int kCopyRetryMs = 1000;
bool copyAndVerify(const std::string& from, const std::string& to);

// The status of a flow stopped by a missing file, in the status line's own style.
std::string missingFileStatus(const std::string& path, bool labelled);
// The stop status after the download was given up at its overall bound (net::wgetTotalSeconds).
std::string downloadTimedOutStatus(bool labelled);

}  // namespace install
