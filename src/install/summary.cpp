// The closing summary: its lines (pure), its pages, and the two ways it is shown.
#include "install/summary.h"

#include <unistd.h>

#include "console/console.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/run_log.h"
#include "host/terminal.h"
#include "host/whole_file.h"

namespace install {

namespace {

constexpr std::size_t kIndent = 9;  // continuation lines stand under the text

void appendWrapped(std::vector<std::string>& out, const std::string& text) {
    for (std::string& line : wrapped(text, kScreenColumns, kIndent)) out.push_back(std::move(line));
}

}  // namespace

std::vector<std::string> summaryLines(const Installation& in, const std::string& runLogPath) {
    std::size_t failures = 0;
    for (const StepResult& r : in.results) failures += r.state == StepState::Failed ? 1 : 0;
    const std::size_t skips = in.results.size() - failures;
    if (in.results.empty() && in.alreadyInstalled == 0) return {};
    std::vector<std::string> out;
    out.push_back(failures > 0
                      ? " INSTALLATION FINISHED WITH PROBLEMS: " + std::to_string(failures) +
                            " FAILED, " + std::to_string(skips) + " SKIPPED"
                      : " INSTALLATION SUMMARY: " + std::to_string(skips) + " SKIPPED");
    out.push_back(" ");
    for (const StepResult& r : in.results) {
        std::string text = r.state == StepState::Failed ? " FAILED  " : " SKIPPED ";
        text += r.step;
        if (!r.object.empty()) text += ": " + r.object;
        if (!r.cause.empty()) text += " (" + r.cause + ")";
        if (r.stops) text += ", installation stopped";
        appendWrapped(out, text);
    }
    for (const std::string& note : in.notes) appendWrapped(out, " Note: " + note);
    if (in.alreadyInstalled > 0) {
        out.push_back(" ");
        out.push_back(" " + std::to_string(in.alreadyInstalled) + " packages already installed");
    }
    if (!runLogPath.empty()) {
        out.push_back(" ");
        appendWrapped(out, " Run log: " + runLogPath);
    }
    return out;
}

std::vector<std::vector<std::string>> summaryPages(const std::vector<std::string>& lines) {
    return pagesEndingWith(lines, " > PRESS ANY KEY TO GO BACK TO THE MENU",
                           " INSTALLATION SUMMARY (CONTINUED)");
}

std::vector<std::vector<std::string>> pagesEndingWith(const std::vector<std::string>& lines,
                                                      const std::string& lastLine,
                                                      const std::string& furtherTitle) {
    std::vector<std::vector<std::string>> pages;
    for (auto next = lines.begin(); pages.empty() || next != lines.end();) {
        std::vector<std::string> page;
        if (!pages.empty()) page.push_back(furtherTitle);
        const auto room = static_cast<std::ptrdiff_t>(kSummaryPageLines - page.size());
        const auto end = lines.end() - next > room ? next + room : lines.end();
        page.insert(page.end(), next, end);
        next = end;
        page.resize(kSummaryPageLines, " ");
        pages.push_back(std::move(page));
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        pages[p].push_back(" ");
        pages[p].push_back(p + 1 < pages.size()
                               ? " > PRESS ANY KEY FOR MORE (PAGE " + std::to_string(p + 1) +
                                     " OF " + std::to_string(pages.size()) + ")"
                               : lastLine);
    }
    return pages;
}

std::string runLogPathIfLogging() { return S().LOGGINGENABLED == 1 ? runlog::runLogPath() : ""; }

void showSummaryScreen(const std::vector<std::string>& lines) {
    for (const auto& page : summaryPages(lines)) {
        console::drawPage(page);
        console::waitMenuKey();
    }
}

void showInstallationSummary(const InstallationRun& run) {
    const Installation& in = run.installation;
    const Outcome outcome = run.outcome;
    if (outcome == Outcome::Completed) return;
    if (outcome == Outcome::Stopped && in.results.size() < 2) return;
    const auto lines = summaryLines(in, runLogPathIfLogging());
    if (!lines.empty()) showSummaryScreen(lines);
}

void printSummaryBelowTerminal(const std::vector<std::string>& lines) {
    terminal::restore();
    console::clearScreen();
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    (void)writeAll(STDOUT_FILENO, out);
}

}  // namespace install
