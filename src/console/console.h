// The console screen kit: screens drawn as data, the status line on row 22, the spinner,
// the key wait, and prompted line input. Everything goes through the platform seam.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/screen.h"
#include "host/platform.h"

namespace console {

// The label that opens a status text.
constexpr const char* kStatusLabel = "APPLICATION STATUS= ";
constexpr const char* kAwaitingStatus = "APPLICATION STATUS= Awaiting user input";

// Escapes of the frame, composed so that a whole screen goes out in one write.
std::string clearSequence();                    // clear the screen, cursor home
std::string moveSequence(int row, int column);  // move the cursor (1-based)

void clearScreen();
void printLine(std::string_view text);  // the text (shown) and a line break
void print(std::string_view text);      // the text (shown)
void moveCursor(int row, int column);

// The status line: TERMINALCONSOLELINE = text padded with blanks to 80 columns (80 or more
// printed unchanged), TERMINALCONSOLELINEPADDING = the number of blanks.
std::string paddedStatusLine(std::string_view text);
// Draws APPLICATIONTEXTWALLETCURRENTSTATUS on row 22 (and sets the two variables above).
void drawStatusLine();
// Sets the status text and draws it ("to show a text").
void showStatus(std::string_view text);

// Draws a menu screen in one write: clear, the lines top-down, then the status line
// APPLICATIONTEXTWALLETCURRENTSTATUS = status on row 22.
void drawMenu(const std::vector<std::string>& lines, std::string_view status = kAwaitingStatus);
// Draws a page in one write: clear, then the lines top-down (no status line).
void drawPage(const std::vector<std::string>& lines);

// Spinner frames in turning order and the frame that follows a given one.
std::string nextSpinnerFrame(std::string_view frame);

// Turns the spinner while a command owns the terminal: the same once-a-second step as
// UPDATESPINNER, drawn with the terminal's own cursor save and restore, since asking the
// terminal where the cursor is would race the command for the terminal's input. Returns the
// milliseconds to the next second (a command ticker, see ScopedCommandTicker).
int spinWhileCommandRuns();
// Draws text at (row, column) with the terminal's own cursor save and restore, so that output
// of a running command goes on where it was.
void drawAside(int row, int column, std::string_view text);

// Reads and drops every key already typed.
void discardPendingKeys();
// The menus' key wait: discard pending keys, then wait (the spinner turning once per second)
// for one key and return it. A special key (arrow, function key) returns "\x1b..." and
// matches no option. End of input ends the program cleanly.
std::string waitMenuKey();
// A key wait that does not discard first (press-any-key pages use waitMenuKey).
std::string waitKey();
// Waits up to ms milliseconds; a key press ends the pause early (the key is consumed).
void pauseOrKey(int64_t ms);

// Prompted line input: prints the prompt (no line break) and reads a line with echo. The value
// ends before the first comma unless typed inside double quotes, and keeps at most 4095
// characters.
std::string promptLine(std::string_view prompt);
// The same without echo, for passwords: the line is taken whole (commas, quotes and blanks
// are part of a password).
std::string promptSecret(std::string_view prompt);
// The comma and quote rule of prompted input, on a line as typed.
std::string applyInputRule(std::string_view typed);

// A terminal smaller than the screens (80x24). The frame shown instead of the screen: the
// cleared terminal with one line, centred, that says the size needed and the size it has
// (cut to the terminal's width).
bool tooSmall(const TerminalSize& size);
std::string tooSmallFrame(const TerminalSize& size);
// While the terminal is too small: shows that frame, follows every resize, and once the
// terminal is large enough redraws the current screen (everything the kit drew since its
// last clear) and returns empty. With zeroPasses the key "0" ends the wait at once and is
// returned, so the menus can still be left; other keys do nothing meanwhile.
std::string waitForRoomyTerminal(bool zeroPasses);

// Cursor tracking: the kit knows where the cursor is after its own output; after a command
// wrote to the terminal it asks the terminal again.
void invalidateCursor();

}  // namespace console

// The console kit's routines.
void UPDATESPINNER();
void SAVECONSOLEWINDOWCURSORPOSITION();
void RESTORECONSOLEWINDOWCURSORPOSITION();
