// The steps of an installation as values: each step is defined once, returns how it ended
// (done, skipped and why, failed with the object and the cause), and the automatic variants
// and the manual menu's options are lists of the same steps.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/screen.h"
#include "install/auto_install.h"
#include "install/launchers.h"
#include "install/receipt.h"
#include "net/archive_check.h"

namespace install {

enum class StepState { Done, Skipped, Failed };

// How one step (or one object of a step: a package) ended. object: the file, folder, package
// or command it is about; cause: why it was skipped or failed ("dpkg -i exit status 1",
// "No such file or directory", "network unreachable (wget exit status 4)").
struct StepResult {
    StepState state = StepState::Done;
    std::string step;  // what the step does, in a few words
    std::string object;
    std::string cause;
    // Only a failed step that the later steps need stops the flow.
    bool stops = false;
    // The stop status for the status line (without its label); empty: made from the result.
    std::string stopStatus;
    // The result of a step whose objects were each kept on their own (not kept again).
    bool itemised = false;
};

StepResult done(std::string step, std::string object = {});
StepResult skipped(std::string step, std::string object, std::string why);
StepResult failed(std::string step, std::string object, std::string cause);

// What the steps of one installation share: its plan, what it found and laid so far, and
// every result that was not a plain "done".
struct Installation {
    VariantPlan plan;
    std::string ip;  // the installation path
    // The archive check's verdict, kept for every later step (and the question before root).
    std::optional<net::ArchiveCheck> check;
    std::string program;   // the program as copied
    std::string icon;      // the icon as copied
    std::string launcher;  // the user's desktop launcher written
    receipt::Receipt laid;
    std::vector<StepResult> results;   // the skipped and failed ones, in order
    std::size_t alreadyInstalled = 0;  // system packages found installed before
    // Lines the summary adds when it is shown (the desktop may ask to trust a launcher).
    std::vector<std::string> notes;
    std::size_t statusColumns = kScreenColumns;
    // The progress screen a Redraw flow draws again with its statuses (variant A).
    const ProgressScreen* progressScreen = nullptr;
    // The launcher of a manual option (else the variant's own placement).
    std::optional<launchers::Placement> placement;
    // False when the user chose, at the plan, to leave the system packages out.
    bool systemPackages = true;

    bool anyFailed() const;
};

// A step: what it does, and whether the steps after it need it (then its failure stops the
// flow before anything else changes).
struct Step {
    const char* name;
    bool needed;
    std::function<StepResult(Installation&)> run;
};

// The steps, each defined once.
StepResult makeFolders(Installation& in);
StepResult copyLocalWget(Installation& in);
StepResult downloadArchive(Installation& in);
StepResult checkArchive(Installation& in);
StepResult copyIcon(Installation& in);
StepResult copyTellers(Installation& in);
// The one place before which nothing of the archive has gone to root: what must be asked or
// checked before the archive's packages and the all-users launcher belongs here.
StepResult beforeArchiveGoesToRoot(Installation& in);
StepResult installArchivePackages(Installation& in);
StepResult copyProgram(Installation& in);
StepResult makeProgramExecutable(Installation& in);
StepResult writeUserLaunchers(Installation& in);
StepResult installAllUsersLauncher(Installation& in);
StepResult recordInstallation(Installation& in);
StepResult provisionPackages(Installation& in);
StepResult saveReceipt(Installation& in);

// How an installation ended, and everything it kept on the way (what its summary reads).
struct InstallationRun {
    Outcome outcome = Outcome::Completed;
    Installation installation;
};

// The steps of a variant, in order. forAllUsers: the launcher for all users too, as variant D
// installs it (variant A only; the user's own launchers stay).
std::vector<Step> stepsOf(Variant v, bool forAllUsers = false);

// Told after each step how it ended; an itemised step's objects are in.results from
// firstItem on.
using StepObserver = std::function<void(const Step& step, const StepResult& result,
                                        const Installation& in, std::size_t firstItem)>;

// Runs the steps; false when a needed one failed (the flow stopped there). Every result that
// is not "done" is kept in in.results.
bool runSteps(Installation& in, const std::vector<Step>& steps, const StepObserver& observer = {});

// Copies from to to (see copyAndVerify); a source and target that are the same file are
// left alone (skipped), a missing source or a failed write is a failure naming the file.
StepResult copyStep(Installation& in, const std::string& step, const std::string& from,
                    const std::string& to, std::string* placed);

// One launcher written (the user's own) and laid in the receipt; the failure names the file
// and the errno.
StepResult writeLauncherFile(Installation& in, const std::string& file, const std::string& content);
// The content of a placement's launcher for the shared state's terminal emulators.
std::string launcherContent(const launchers::Placement& p);

// What a result says on one status line: "Failed, copy icon: OBJECT (CAUSE)" and the like.
// resultStatus fits it into columns, the object's path keeping its start and its end.
std::string resultText(const StepResult& r);
std::string resultStatus(const StepResult& r, std::size_t columns);

}  // namespace install
