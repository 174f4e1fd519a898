// The automatic installation as one call: the variant's steps run in order, then the flow's
// end (its status, its summary, and for the installation that ends the program, the exit).
#pragma once

#include "install/auto_install.h"
#include "install/steps.h"

namespace install {

// Runs the variant's steps. Completed: every step ran and none failed (the status is the
// final text as ever; after variant A the caller ends the program). WithProblems: every step
// ran but some failed; the status says the installation finished with problems and the
// summary (see summary.h) names them. Stopped: a step the others need failed (folders,
// download, archive check, program copy); the status says which and why. The working
// directory is back where the flow started. Without a progress screen a Redraw flow shows
// its status on the status line alone.
struct RunChoices {
    bool systemPackages = true;  // false: the provisioning step is skipped (the plan's f)
    bool allUsers = false;       // variant A: the launcher for all users too
    StepObserver observer;       // told how each step ended (the commands print it)
};
InstallationRun runAutomaticInstallation(Variant v, const ProgressScreen& progressScreen = {},
                                         const RunChoices& choices = {});

// Ends the program after variant A, through the normal exit path: exit status 0 when no step
// of in failed, else 1 after the summary's lines are printed below the restored terminal.
[[noreturn]] void endProgramAfterInstallation(const Installation& in);

}  // namespace install
