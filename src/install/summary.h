// The closing summary of an installation: every step that failed or was skipped, with its
// object and cause, the packages found installed, and the run log's path. Menus show it as a
// paged screen; the installation that ends the program prints it below the restored terminal.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/screen.h"
#include "install/steps.h"

namespace install {

// Lines of a summary page above its blank line and its key line (a page is a row shorter than
// the screen, so the last line break never scrolls the terminal).
inline constexpr std::size_t kSummaryPageLines = kScreenRows - 3;

// The summary's lines, each at most kScreenColumns wide (long ones wrapped, continued
// indented). Empty when there is nothing to say (no step failed or was skipped, no package
// found installed). runLogPath: "" when logging is off.
std::vector<std::string> summaryLines(const Installation& in, const std::string& runLogPath);

// The lines cut into pages of kSummaryPageLines, each followed by a blank line and the key
// line: " > PRESS ANY KEY FOR MORE (PAGE 1 OF 2)" or, on the last,
// " > PRESS ANY KEY TO GO BACK TO THE MENU". A further page opens with the short title
// " INSTALLATION SUMMARY (CONTINUED)".
std::vector<std::vector<std::string>> summaryPages(const std::vector<std::string>& lines);
// The same pages with another line in place of the last page's key line (a question), and
// furtherTitle as the first line of every page after the first: the spinner in the top right
// corner then never stands over a line of the text. At least one page, even for no lines.
std::vector<std::vector<std::string>> pagesEndingWith(const std::vector<std::string>& lines,
                                                      const std::string& lastLine,
                                                      const std::string& furtherTitle);

// The run log's path while logging is on, else "".
std::string runLogPathIfLogging();

// Shows the pages one after the other, a key press each.
void showSummaryScreen(const std::vector<std::string>& lines);
// The summary of an installation as a screen: after one that finished with problems, or that
// stopped after other steps had failed or been skipped already (a stop alone says all on the
// status line).
void showInstallationSummary(const InstallationRun& run);
// Restores the terminal, clears the screen and prints the lines (the program ends next).
void printSummaryBelowTerminal(const std::vector<std::string>& lines);

}  // namespace install
