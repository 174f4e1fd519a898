// The console screen kit. The kit tracks where its own output leaves the cursor, so saving
// the cursor costs no round trip to the terminal; after a command wrote to the terminal it
// asks the terminal once.
#include "console/console.h"

#include <cstdlib>

#include "app/installWalletForLinux.h"
#include "host/platform.h"

namespace console {
namespace {

constexpr std::size_t kMaxInputLength = 4095;
constexpr int kTrackedRows = 24;

struct Tracked {
    bool valid = false;
    int row = 1, column = 1;
} gCursor;

// Rows a printed text takes before its line break (the terminal wraps at 80 columns).
int rowsAdvanced(std::size_t startColumn, std::size_t length) {
    std::size_t end = startColumn - 1 + length;  // columns used on the first row and beyond
    return end <= static_cast<std::size_t>(kScreenWidth) ? 1 : static_cast<int>((end + 79) / 80);
}

void trackLine(std::size_t length) {
    if (!gCursor.valid) return;
    gCursor.row += rowsAdvanced(static_cast<std::size_t>(gCursor.column), length);
    gCursor.column = 1;
    if (gCursor.row > kTrackedRows) gCursor.valid = false;  // the screen scrolled
}

void trackText(std::size_t length) {
    if (!gCursor.valid) return;
    std::size_t col = static_cast<std::size_t>(gCursor.column) + length;
    while (col > static_cast<std::size_t>(kScreenWidth)) {
        col -= kScreenWidth;
        ++gCursor.row;
    }
    gCursor.column = static_cast<int>(col);
    if (gCursor.row > kTrackedRows) gCursor.valid = false;
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
    s.TERMINALCONSOLELINE = paddedStatusLine(s.APPLICATIONTEXTWALLETCURRENTSTATUS);
    s.TERMINALCONSOLELINEPADDING =
        static_cast<int64_t>(kScreenWidth) -
        static_cast<int64_t>(s.APPLICATIONTEXTWALLETCURRENTSTATUS.size());
    return moveSequence(kStatusRow, 1) + s.TERMINALCONSOLELINE + "\n";
}

}  // namespace

std::string clearSequence() { return "\x1b[H\x1b[2J"; }

std::string moveSequence(int row, int column) {
    return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

void clearScreen() {
    platform().write(clearSequence());
    gCursor = {true, 1, 1};
}

void printLine(std::string_view text) {
    std::string out(text);
    out += '\n';
    platform().write(out);
    trackLine(text.size());
}

void print(std::string_view text) {
    platform().write(text);
    trackText(text.size());
}

void moveCursor(int row, int column) {
    platform().write(moveSequence(row, column));
    gCursor = {true, row, column};
}

std::string paddedStatusLine(std::string_view text) {
    std::string line(text);
    if (line.size() < static_cast<std::size_t>(kScreenWidth))
        line.append(kScreenWidth - line.size(), ' ');
    return line;
}

void drawStatusLine() {
    platform().write(statusFrame());
    gCursor = {true, kStatusRow + 1, 1};
}

void showStatus(std::string_view text) {
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = std::string(text);
    drawStatusLine();
}

namespace {

// A line of a screen ends at the screen's edge: a longer value (a typed path of thousands of
// bytes) would wrap onto the rows below and scroll the title off the 24 rows.
std::string_view withinWidth(std::string_view line) {
    return line.substr(0, static_cast<std::size_t>(kScreenWidth));
}

}  // namespace

void drawMenu(const std::vector<std::string>& lines, std::string_view status) {
    std::string out = clearSequence();
    for (const auto& l : lines) {
        out += withinWidth(l);
        out += '\n';
    }
    S().APPLICATIONTEXTWALLETCURRENTSTATUS = std::string(status);
    out += statusFrame();
    platform().write(out);
    gCursor = {true, kStatusRow + 1, 1};
}

void drawPage(const std::vector<std::string>& lines) {
    std::string out = clearSequence();
    gCursor = {true, 1, 1};
    for (const auto& l : lines) {
        out += withinWidth(l);
        out += '\n';
    }
    platform().write(out);
    for (const auto& l : lines) trackLine(withinWidth(l).size());
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

std::string waitKey() {
    int timeout = 0;  // the first look does not wait, so the spinner shows at once
    while (true) {
        Key k = platform().readKey(timeout);
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
    print(prompt);
    std::string line = platform().readLine(true);
    invalidateCursor();
    return applyInputRule(line);
}

std::string promptSecret(std::string_view prompt) {
    print(prompt);
    std::string line = platform().readLine(false);
    platform().write("\n");  // the terminal did not echo the Enter key
    invalidateCursor();
    if (line.size() > kMaxInputLength) line.resize(kMaxInputLength);
    return line;
}

void invalidateCursor() { gCursor.valid = false; }

void resetConsole() { gCursor = {}; }

}  // namespace console

void UPDATESPINNER() {
    auto& s = S();
    const std::string now = console::timeOfDay(platform().now());
    if (!s.LASTSPINTIME.empty() && now == s.LASTSPINTIME) return;
    SAVECONSOLEWINDOWCURSORPOSITION();
    s.BOOTSPINNER = console::nextSpinnerFrame(s.BOOTSPINNER);
    platform().write(console::moveSequence(1, 78) + s.BOOTSPINNER + "\n");
    RESTORECONSOLEWINDOWCURSORPOSITION();
    s.LASTSPINTIME = now;
}

void SAVECONSOLEWINDOWCURSORPOSITION() {
    using console::gCursor;
    if (!gCursor.valid) {
        if (auto pos = platform().queryCursor()) gCursor = {true, pos->row, pos->column};
    }
    S().SAVEDCONSOLEWINDOWCURSORPOSITIONX = gCursor.row;
    S().SAVEDCONSOLEWINDOWCURSORPOSITIONY = gCursor.column;
}

void RESTORECONSOLEWINDOWCURSORPOSITION() {
    console::moveCursor(static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX),
                        static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONY));
}
