// The automatic installation's run: the steps of the variant, then the status of its end.
#include "install/installation_flow.h"

#include <cstdlib>
#include <string_view>

#include "console/console.h"
#include "console/menu.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/shell.h"
#include "install/steps.h"
#include "install/summary.h"

namespace install {

namespace {

using console::kStatusLabel;

// Room for a stop status's text: after the label on the 80 columns of row 22, or (variant D,
// unlabelled) after the selected-wallet menu's " APPLICATION STATUS= " at column 2.
std::size_t statusTextColumns(const VariantPlan& plan) {
    return plan.labelledStatus ? kScreenColumns - std::string_view(kStatusLabel).size()
                               : kScreenColumns - 1 - console::kMenuStatusLabelWidth;
}

}  // namespace

namespace {

// The end of a flow: the status of its stop, of its problems, or its final text as ever.
Outcome finish(Installation& in, bool ran) {
    SharedState& s = S();
    const VariantPlan& plan = in.plan;
    std::size_t failures = 0;
    for (const StepResult& r : in.results) failures += r.state == StepState::Failed ? 1 : 0;
    std::string text;
    Outcome outcome = Outcome::Completed;
    if (!ran) {
        const StepResult& stop = in.results.back();
        text = resultStatus(stop, in.statusColumns);
        if (plan.labelledStatus && !text.starts_with(kStatusLabel)) text = kStatusLabel + text;
        outcome = Outcome::Stopped;
    } else if (failures > 0) {
        text = problemsStatus(plan.labelledStatus, failures);
        outcome = Outcome::WithProblems;
    } else {
        text = plan.labelledStatus ? kStatusLabel + plan.finalStatus : plan.finalStatus;
    }
    if (outcome == Outcome::Completed && plan.statusMode == StatusMode::Redraw &&
        in.progressScreen && *in.progressScreen) {
        console::drawMenu((*in.progressScreen)(), text);
    } else if (plan.statusMode != StatusMode::Silent && outcome == Outcome::Completed) {
        console::showStatus(text);
    } else {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = text;
        if (plan.statusMode != StatusMode::Silent) console::drawStatusLine();
    }
    return outcome;
}

}  // namespace

InstallationRun runAutomaticInstallation(Variant v, const ProgressScreen& progressScreen,
                                         const RunChoices& choices) {
    SharedState& s = S();
    InstallationRun run;
    Installation& in = run.installation;
    in.ip = s.APPLICATIONTEXTWALLETINSTALLATIONPATH;
    in.plan = planFor(v, in.ip);
    in.statusColumns = statusTextColumns(in.plan);
    in.progressScreen = &progressScreen;
    in.systemPackages = choices.systemPackages;
    s.CURRENTWALLETARCHIVEPATH = in.plan.archivePath;
    if (in.plan.applicationPath) s.APPLICATIONTEXTWALLETAPPLICATIONPATH = *in.plan.applicationPath;

    // The spinner turns while each of the flow's commands runs.
    ScopedCommandTicker spinner(console::spinWhileCommandRuns);
    s.ZXINKEY.clear();
    const bool ran = runSteps(in, stepsOf(v, choices.allUsers), choices.observer);
    run.outcome = finish(in, ran);
    in.progressScreen = nullptr;
    return run;
}

void endProgramAfterInstallation(const Installation& in) {
    const std::vector<std::string> lines = summaryLines(in, runLogPathIfLogging());
    if (!lines.empty()) printSummaryBelowTerminal(lines);
    std::exit(in.anyFailed() ? 1 : 0);
}

}  // namespace install
