// The platform seam: everything the installer asks of the outside world that a test must
// control. The real implementation talks to POSIX and the terminal; unit tests install a fake.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct LocalDateTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Resize: the terminal changed its size while the wait went on (no key was read).
enum class KeyKind { Char, Special, Timeout, EndOfInput, Resize };

struct Key {
    KeyKind kind = KeyKind::Timeout;
    std::string text;  // the byte of a Char key; the whole sequence of a Special key
};

struct CursorPos {
    int row = 1, column = 1;  // 1-based
};

struct TerminalSize {
    int rows = 0, columns = 0;
};

struct CommandOptions {
    // Text written to the command's standard input (then closed); without it the command
    // shares the installer's standard input (the terminal). When no pipe can be made for the
    // text, the command is not started and run() returns 127.
    std::optional<std::string> input;
    // Adds LC_ALL=C to the command's environment, for output that the program parses.
    bool cLocale = false;
    // When above 0: the longest the command may run in all, in seconds. It is then sent
    // SIGTERM (SIGKILL 10 s later) and run() returns 124. For a command line that is one
    // simple command (its program is what gets the signal).
    int timeLimitSeconds = 0;
    // Called right after the command starts and then again, while it runs, each time the
    // number of milliseconds it returned has passed (the spinner and progress lines turn).
    std::function<int()> whileRunning = {};
    // The command is meant to end the installer (the first-time setup logs the user out): it
    // is not ended when the installer ends while it runs.
    bool outlivesInstaller = false;
    // An elevated command: where the installer acts as root for another user (see
    // actForUser), it runs as root; every other command runs as that user.
    bool asRoot = false;
    // The folder the command runs in; empty: the installer's own current folder. The child
    // enters it before it runs anything: when it cannot, the command does not run and run()
    // returns 127.
    std::string workingFolder = {};
};

// Thrown by run() when the command died of SIGINT (the user pressed Ctrl-C): the flow that ran
// it ends, and the menu driver takes over again.
struct FlowInterrupted : std::exception {
    const char* what() const noexcept override { return "interrupted"; }
};

// How the elevated runner gets root's rights: with the password on sudo's standard input (the
// menus, and a command given --password-stdin), with sudo -n (a command run by a user whose
// sudo needs no password now: cached credentials, a NOPASSWD rule), or as it is (a command run
// by root, for the user named on its command line).
enum class Elevation { Password, SudoWithoutPassword, AlreadyRoot };

// What the program keeps, for as long as it runs, about the terminal and the commands it runs
// through a platform. It belongs to that platform (a test's fresh fake starts it afresh).
struct PlatformSession {
    // The screen as drawn since its last clear, to draw it again after a resize.
    std::string screen;
    // Where the console last knew the cursor to stand, and how many commands had shared the
    // terminal then.
    struct Cursor {
        bool valid = false;
        int row = 1, column = 1;
        uint64_t commands = 0;
    } cursor;
    // Commands run so far that shared the terminal.
    uint64_t terminalCommands = 0;
    // Called while each command runs that brings no whileRunning of its own.
    std::function<int()> ticker;
    // Chosen once at start-up.
    Elevation elevation = Elevation::Password;
};

class Platform {
public:
    virtual ~Platform() = default;

    // What the program keeps about this platform's terminal and commands.
    PlatformSession& session() { return session_; }

    // Runs commandLine through /bin/sh -c in options.workingFolder (the current folder when
    // that is empty) and waits for it.
    // The terminal is in its ordinary (cooked) mode while the command runs.
    // Returns the exit status (128 + signal for a killed command, 127 when it cannot start);
    // throws FlowInterrupted when the command died of SIGINT.
    virtual int run(const std::string& commandLine, const CommandOptions& options) = 0;

    // Console.
    virtual void write(std::string_view bytes) = 0;
    // Asks the terminal where the cursor is; keys typed meanwhile stay pending.
    virtual std::optional<CursorPos> queryCursor() = 0;
    // Waits up to timeoutMs (negative: no limit) for one key; an escape sequence is one key.
    // A change of the terminal's size ends the wait early with KeyKind::Resize.
    virtual Key readKey(int timeoutMs) = 0;
    // The terminal's size (TIOCGWINSZ); nothing when it is not known.
    virtual std::optional<TerminalSize> terminalSize() { return std::nullopt; }
    // Reads a whole line (without its line feed) in the terminal's line mode.
    virtual std::string readLine(bool echo) = 0;

    // Time and chance.
    virtual void sleepMs(int64_t ms) = 0;
    virtual LocalDateTime now() = 0;
    virtual int64_t epochSeconds() = 0;
    virtual double random01() = 0;  // uniform in [0, 1)

    // Existence of a fixed system path (/usr/bin/gnome-terminal, /etc/fedora-release, ...).
    virtual bool systemPathExists(const std::string& path) = 0;

private:
    PlatformSession session_;
};

// The platform in use; the real one unless a test installed another.
Platform& platform();
// Installs p (not owned) as the platform; nullptr restores the real one.
void setPlatform(Platform* p);

// The real POSIX platform (one per process).
Platform& realPlatform();

// Ends the command the real platform runs now, if any: its whole process group (the shell,
// timeout, wget, whatever it started) gets SIGTERM, and the terminal comes back to the
// installer. Async-signal-safe: the terminal's restore calls it on every way out (exit, the
// ending signals, a fatal error).
void endRunningCommand();
