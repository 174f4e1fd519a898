// The console screen kit. The kit tracks where its own output leaves the cursor, so saving
// the cursor costs no round trip to the terminal; after a command wrote to the terminal it
// asks the terminal once.
#include "console/console.h"

#include <cstdlib>

#include "core/escape.h"
#include "core/shared_state.h"
#include "host/platform.h"
#include "host/run_log.h"
#include "host/shell.h"

namespace console {
namespace {

constexpr std::size_t kMaxInputLength = 4095;

// Where the cursor stands and what the screen shows, as this console drew them: kept with the
// terminal's platform, for as long as the program runs.
PlatformSession::Cursor& cursor() { return platform().session().cursor; }
std::string& screen() { return platform().session().screen; }

// A command that shared the terminal since the position was known may have moved the cursor.
bool cursorKnown() { return cursor().valid && cursor().commands == terminalCommandsRun(); }
void knowCursor(int row, int column) { cursor() = {true, row, column, terminalCommandsRun()}; }

void writeScreen(std::string_view bytes) {
    platform().write(bytes);
    screen().append(bytes);
}

// Rows a printed text takes before its line break (the terminal wraps at 80 columns).
int rowsAdvanced(std::size_t startColumn, std::size_t length) {
    std::size_t end = startColumn - 1 + length;  // columns used on the first row and beyond
    return end <= kScreenColumns ? 1
                                 : static_cast<int>((end + kScreenColumns - 1) / kScreenColumns);
}

void trackLine(std::size_t length) {
    if (!cursorKnown()) return;
    PlatformSession::Cursor& c = cursor();
    c.row += rowsAdvanced(static_cast<std::size_t>(c.column), length);
    c.column = 1;
    if (c.row > kScreenRows) c.valid = false;  // the screen scrolled
}

void trackText(std::size_t length) {
    if (!cursorKnown()) return;
    PlatformSession::Cursor& c = cursor();
    std::size_t col = static_cast<std::size_t>(c.column) + length;
    while (col > kScreenColumns) {
        col -= kScreenColumns;
        ++c.row;
    }
    c.column = static_cast<int>(col);
    if (c.row > kScreenRows) c.valid = false;
}

std::string timeOfDay(const LocalDateTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

int msToNextSecond() {
    int ms = 1000 - platform().now().millisecond;
    return ms < 1 ? 1 : ms;
}

[[noreturn]] void endOfInput() {
    // The terminal went away: nobody can answer any more, so end as "0" would.
    std::exit(0);
}

std::string statusFrame() {
    auto& s = S();
    runlog::recordStatus(s.APPLICATIONTEXTWALLETCURRENTSTATUS);
    const std::string shown =
        escapeControls(s.APPLICATIONTEXTWALLETCURRENTSTATUS, Escaping::Screen);
    s.TERMINALCONSOLELINE = paddedStatusLine(shown);
    s.TERMINALCONSOLELINEPADDING =
        static_cast<int64_t>(kScreenColumns) - static_cast<int64_t>(shown.size());
    return moveSequence(kStatusRow, 1) + s.TERMINALCONSOLELINE + "\n";
}

}  // namespace

std::string clearSequence() { return "\x1b[H\x1b[2J"; }

std::string moveSequence(int row, int column) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

void clearScreen() {
    screen().clear();
    writeScreen(clearSequence());
    knowCursor(1, 1);
}

void printLine(std::string_view text) {
    std::string out = escapeControls(text, Escaping::Screen);
    const std::size_t length = out.size();
    out += '\n';
    writeScreen(out);
    trackLine(length);
}

void print(std::string_view text) {
    const std::string out = escapeControls(text, Escaping::Screen);
    writeScreen(out);
    trackText(out.size());
}

void moveCursor(int row, int column) {
    writeScreen(moveSequence(row, column));
    knowCursor(row, column);
}

std::string paddedStatusLine(std::string_view text) {
    std::string line(text);
    if (line.size() < kScreenColumns) line.append(kScreenColumns - line.size(), ' ');
    return line;
}

void drawStatusLine() {
    writeScreen(statusFrame());
    knowCursor(kStatusRow + 1, 1);
}

void showStatus(std::string_view text) {
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = std::string(text);
    drawStatusLine();
}

namespace {

// A line of a screen ends at the screen's edge: a longer value (a typed path of thousands of
// bytes) would wrap onto the rows below and scroll the title off the 24 rows.
std::string_view withinWidth(std::string_view line) { return line.substr(0, kScreenColumns); }

}  // namespace

void drawMenu(const std::vector<std::string>& lines, std::string_view status) {
    std::string out = clearSequence();
    for (const auto& l : lines) {
        out += withinWidth(escapeControls(l, Escaping::Screen));
        out += '\n';
    }
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = std::string(status);
    out += statusFrame();
    screen().clear();
    writeScreen(out);
    knowCursor(kStatusRow + 1, 1);
}

void drawPage(const std::vector<std::string>& lines) {
    std::string out = clearSequence();
    knowCursor(1, 1);
    for (const auto& l : lines) {
        const std::string shown = escapeControls(l, Escaping::Screen);
        out += withinWidth(shown);
        out += '\n';
        trackLine(withinWidth(shown).size());
    }
    screen().clear();
    writeScreen(out);
}

std::string nextSpinnerFrame(std::string_view frame) {
    if (frame.empty()) return "---";
    if (frame == "---") return " \\ ";
    if (frame == " \\ ") return " | ";
    if (frame == " | ") return " / ";
    if (frame == " / ") return "---";
    return std::string(frame);
}

void discardPendingKeys() {
    while (true) {
        Key k = platform().readKey(0);
        if (k.kind == KeyKind::EndOfInput) endOfInput();
        if (k.kind == KeyKind::Timeout) return;
    }
}

int spinWhileCommandRuns() {
    auto& s = S();
    const std::string now = timeOfDay(platform().now());
    if (s.LASTSPINTIME.empty() || now != s.LASTSPINTIME) {
        s.BOOTSPINNER = nextSpinnerFrame(s.BOOTSPINNER);
        drawAside(1, 78, s.BOOTSPINNER);
        s.LASTSPINTIME = now;
    }
    return msToNextSecond();
}

void drawAside(int row, int column, std::string_view text) {
    std::string out =
        "\x1b"
        "7" +
        moveSequence(row, column);
    out += text;
    out +=
        "\x1b"
        "8";
    platform().write(out);
}

bool tooSmall(const TerminalSize& size) {
    return size.rows < kScreenRows || size.columns < static_cast<int>(kScreenColumns);
}

std::string tooSmallFrame(const TerminalSize& size) {
    std::string text = "Terminal too small: needs " + std::to_string(kScreenColumns) + "x" +
                       std::to_string(kScreenRows) + ", has " + std::to_string(size.columns) + "x" +
                       std::to_string(size.rows);
    const int columns = size.columns < 1 ? 1 : size.columns;
    if (text.size() > static_cast<std::size_t>(columns)) text.resize(columns);
    const int row = size.rows < 2 ? 1 : (size.rows + 1) / 2;
    const int column = (columns - static_cast<int>(text.size())) / 2 + 1;
    return clearSequence() + moveSequence(row, column) + text;
}

std::string waitForRoomyTerminal(bool zeroPasses) {
    auto size = platform().terminalSize();
    if (!size || !tooSmall(*size)) return {};
    platform().write(tooSmallFrame(*size));
    while (true) {
        // Blocks in the key wait's poll(): a key or a resize wakes it, nothing else.
        Key k = platform().readKey(-1);
        if (k.kind == KeyKind::EndOfInput) endOfInput();
        if (zeroPasses && k.kind == KeyKind::Char && k.text == "0") return k.text;
        // A resize, or the empty key of a continue after a stop (the shell drew over us).
        const bool look =
            k.kind == KeyKind::Resize || (k.kind == KeyKind::Special && k.text.empty());
        if (!look) continue;
        size = platform().terminalSize();
        if (!size || !tooSmall(*size)) break;
        platform().write(tooSmallFrame(*size));
    }
    platform().write(screen());
    S().LASTSPINTIME.clear();  // the spinner was wiped with the screen: draw it on the next look
    return {};
}

std::string waitKey() {
    // Menus that print their own status line show it by the time they wait for a key.
    runlog::recordStatus(S().APPLICATIONTEXTWALLETCURRENTSTATUS);
    int timeout = 0;  // the first look does not wait, so the spinner shows at once
    while (true) {
        if (std::string zero = waitForRoomyTerminal(true); !zero.empty()) return zero;
        Key k = platform().readKey(timeout);
        if (k.kind == KeyKind::Resize) {
            timeout = 0;  // look at the new size before waiting again
            continue;
        }
        UPDATESPINNER();
        if (k.kind == KeyKind::Char || k.kind == KeyKind::Special) return k.text;
        if (k.kind == KeyKind::EndOfInput) endOfInput();
        timeout = msToNextSecond();
    }
}

std::string waitMenuKey() {
    discardPendingKeys();
    return waitKey();
}

void pauseOrKey(int64_t ms) {
    auto toMs = [](const LocalDateTime& t) {
        return ((static_cast<int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 +
               t.millisecond;
    };
    const int64_t start = toMs(platform().now());
    while (true) {
        int64_t elapsed = toMs(platform().now()) - start;
        if (elapsed < 0) elapsed += 24LL * 3600 * 1000;  // midnight passed
        if (elapsed >= ms) return;
        Key k = platform().readKey(static_cast<int>(ms - elapsed));
        if (k.kind == KeyKind::Char || k.kind == KeyKind::Special) return;
        if (k.kind == KeyKind::EndOfInput) endOfInput();
    }
}

std::string applyInputRule(std::string_view typed) {
    std::string value;
    bool quoted = false;
    for (char c : typed) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ',' && !quoted) break;
        value.push_back(c);
    }
    if (value.size() > kMaxInputLength) value.resize(kMaxInputLength);
    return value;
}

std::string promptLine(std::string_view prompt) {
    waitForRoomyTerminal(false);
    print(prompt);
    std::string line = platform().readLine(true);
    invalidateCursor();
    return applyInputRule(line);
}

std::string promptSecret(std::string_view prompt) {
    waitForRoomyTerminal(false);
    print(prompt);
    std::string line = platform().readLine(false);
    writeScreen("\n");  // the terminal did not echo the Enter key
    invalidateCursor();
    if (line.size() > kMaxInputLength) line.resize(kMaxInputLength);
    return line;
}

void invalidateCursor() { cursor().valid = false; }

}  // namespace console

void UPDATESPINNER() {
    auto& s = S();
    const std::string now = console::timeOfDay(platform().now());
    if (!s.LASTSPINTIME.empty() && now == s.LASTSPINTIME) return;
    const std::size_t drawn = console::screen().size();  // the spinner is no part of the screen
    SAVECONSOLEWINDOWCURSORPOSITION();
    s.BOOTSPINNER = console::nextSpinnerFrame(s.BOOTSPINNER);
    platform().write(console::moveSequence(1, 78) + s.BOOTSPINNER + "\n");
    RESTORECONSOLEWINDOWCURSORPOSITION();
    console::screen().resize(drawn);
    s.LASTSPINTIME = now;
}

void SAVECONSOLEWINDOWCURSORPOSITION() {
    if (!console::cursorKnown()) {
        if (auto pos = platform().queryCursor()) console::knowCursor(pos->row, pos->column);
    }
    S().SAVEDCONSOLEWINDOWCURSORPOSITIONX = console::cursor().row;
    S().SAVEDCONSOLEWINDOWCURSORPOSITIONY = console::cursor().column;
}

void RESTORECONSOLEWINDOWCURSORPOSITION() {
    console::moveCursor(static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX),
                        static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONY));
}
