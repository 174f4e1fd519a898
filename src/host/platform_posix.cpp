// The real platform: /bin/sh through posix_spawn, the terminal through poll() and read(),
// the clock, a random generator and stat() for fixed system paths.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "host/file_status.h"
#include "host/identity.h"
#include "host/key_decoder.h"
#include "host/platform.h"
#include "host/terminal.h"
#include "host/whole_file.h"

extern char** environ;

namespace {

// Time a lone ESC may wait for the rest of its sequence.
constexpr int kEscapeWaitMs = 30;
// Time the terminal has to answer a cursor position request.
constexpr int kCursorReplyMs = 300;
// The status of a command that could not be started (the shell's "command not found").
constexpr int kNotStarted = 127;

int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The process group of the command that runs now (0: none; minus its shell's pid when it runs
// in the installer's own group), and whether the terminal was handed to it: what
// endRunningCommand needs, kept where a signal handler may read it.
volatile sig_atomic_t gCommandGroup = 0;
volatile sig_atomic_t gHandedTerminal = 0;
volatile sig_atomic_t gCommandOutlives = 0;  // CommandOptions::outlivesInstaller

// Gives the terminal's foreground to group (the command's, or the installer's own). SIGTTOU
// is held off: the installer asks from the background when it takes the terminal back.
void giveTerminalTo(pid_t group) {
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
    while (tcsetpgrp(STDIN_FILENO, group) != 0 && errno == EINTR) {
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// The command was stopped (Ctrl-Z reached its group): the installer takes the terminal back
// and stops as well, as it did when both shared one group; once continued it gives the
// terminal to the command again and continues it.
void stopAlongWith(pid_t group) {
    if (gHandedTerminal) giveTerminalTo(getpgrp());
    raise(SIGTSTP);  // the terminal's handler puts the user's settings back while stopped
    // Continued in the foreground (fg), the terminal goes to the command again, also when it
    // did not have it before (it stopped reading the terminal from the background).
    if (isatty(STDIN_FILENO) == 1 && tcgetpgrp(STDIN_FILENO) == getpgrp()) {
        giveTerminalTo(group);
        gHandedTerminal = 1;
    }
    killpg(group, SIGCONT);
}

// The time until the callback wants to be called again, at least 1 ms.
int nextCallIn(const std::function<int()>& whileRunning) {
    const int next = whileRunning();
    return next < 1 ? 1 : next;
}

// Calls whileRunning while the child pid runs, sleeping in poll() on its pidfd in between,
// until the pidfd says it ended (or cannot be polled). A stop of the child is answered by
// stopAlongWith; ws gets the wait status when a look reaped the child on the way.
void pollUntilEnded(pid_t pid, int pidfd, const std::function<int()>& whileRunning, int& ws) {
    while (true) {
        const int next = nextCallIn(whileRunning);
        struct pollfd p {
            pidfd, POLLIN, 0
        };
        const int r = poll(&p, 1, next);
        if (r > 0 || (r < 0 && errno != EINTR)) return;
        if (waitpid(pid, &ws, WNOHANG | WUNTRACED) == pid && WIFSTOPPED(ws)) stopAlongWith(pid);
    }
}

// The same without a pidfd (old kernels): sleeps the same times and looks with WNOHANG.
// Returns the child's wait status once it ended (or waiting failed).
int lookUntilEnded(pid_t pid, const std::function<int()>& whileRunning) {
    int ws = 0;
    while (true) {
        const int next = nextCallIn(whileRunning);
        const pid_t w = waitpid(pid, &ws, WNOHANG | WUNTRACED);
        if (w == pid && WIFSTOPPED(ws)) {
            stopAlongWith(pid);
            continue;
        }
        if (w == pid || (w < 0 && errno != EINTR)) return ws;
        poll(nullptr, 0, next);
    }
}

// Blocks until the child pid ends and returns its wait status (ws as it is when the child was
// reaped already). A stop of the child is answered by stopAlongWith.
int blockUntilEnded(pid_t pid, int ws) {
    while (true) {
        const pid_t w = waitpid(pid, &ws, WUNTRACED);
        if (w < 0 && errno == EINTR) continue;
        if (w == pid && WIFSTOPPED(ws)) {
            stopAlongWith(pid);
            continue;
        }
        return ws;
    }
}

// Waits for the child pid (leader of its own group) to end and returns its wait status. With
// whileRunning the wait sleeps in poll() on a pidfd until the child ends or the callback's
// next time comes; without a pidfd (old kernels) it sleeps the same times and looks with
// WNOHANG. A stop of the child is answered by stopAlongWith.
int waitForChild(pid_t pid, const std::function<int()>& whileRunning) {
    int ws = 0;
    if (whileRunning) {
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        if (pidfd < 0) return lookUntilEnded(pid, whileRunning);
        pollUntilEnded(pid, pidfd, whileRunning, ws);
        close(pidfd);
    }
    return blockUntilEnded(pid, ws);
}

// The installer's environment for a command; with cLocale, LC_ALL=C in place of the user's.
std::vector<std::string> commandEnvironment(bool cLocale) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (cLocale && std::strncmp(*e, "LC_ALL=", 7) == 0) continue;
        env.emplace_back(*e);
    }
    if (cLocale) env.emplace_back("LC_ALL=C");
    return env;
}

// The strings as the null-terminated array that exec takes (pointing into them).
std::vector<char*> nullTerminated(std::vector<std::string>& strings) {
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// The line the shell runs. With a time limit, coreutils' timeout in the foreground keeps the
// keyboard's signals (Ctrl-C, Ctrl-Z) going to the command, and stops it when its time is up.
std::string limitedCommand(const std::string& commandLine, int timeLimitSeconds) {
    if (timeLimitSeconds <= 0) return commandLine;
    return "timeout --foreground -k 10 " + std::to_string(timeLimitSeconds) + " " + commandLine;
}

// The command and everything it starts form a process group of their own, which the
// installer ends on its every way out (endRunningCommand). When the installer has the
// terminal, the group gets it while it runs: the keyboard's signals (Ctrl-C, Ctrl-Z) go to
// the command, and a command may read the terminal (su asks there).
// A process group outside the installer's PID namespace reads as 0 (so does the terminal's
// foreground group then): the terminal could be handed over but never taken back, so the
// command stays in the installer's own group, which has the terminal.
struct Placement {
    bool handTerminal = false;   // the command's group gets the terminal while it runs
    bool groupOfItsOwn = false;  // the command runs in a process group of its own
};

Placement placementNow() {
    const pid_t ownGroup = getpgrp();
    const bool onTerminal = isatty(STDIN_FILENO) == 1;
    Placement placement;
    placement.handTerminal = onTerminal && ownGroup > 0 && tcgetpgrp(STDIN_FILENO) == ownGroup;
    placement.groupOfItsOwn = placement.handTerminal || !onTerminal;
    return placement;
}

// The signal state that run() changes while a command runs. A broken pipe to the command is
// not the installer's end. SIGTTOU is held off while the command owns the terminal, so the
// spinner may still draw beside it.
struct HeldSignals {
    struct sigaction oldPipe {};
    sigset_t oldMask{};
};

HeldSignals holdSignals() {
    HeldSignals held;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &held.oldPipe);
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &held.oldMask);
    return held;
}

void releaseSignals(const HeldSignals& held) {
    sigprocmask(SIG_SETMASK, &held.oldMask, nullptr);
    sigaction(SIGPIPE, &held.oldPipe, nullptr);
}

// The child starts with the default actions of the signals the installer handles, no signal
// blocked, and in a group of its own when it is to have one.
void initSpawnAttributes(posix_spawnattr_t& attr, const Placement& placement) {
    posix_spawnattr_init(&attr);
    sigset_t defaults, empty;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGQUIT, SIGPIPE, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &empty);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                        (placement.groupOfItsOwn ? POSIX_SPAWN_SETPGROUP : 0));
}

// Starts /bin/sh with argv and envp (standard input from inputFd when it is not -1; in folder
// when it is not empty) and sets pid. Returns posix_spawn's result: a folder that the child
// cannot enter ends it before /bin/sh runs, and posix_spawn returns that error.
int spawnShell(pid_t& pid, char* const argv[], char* const envp[], int inputFd,
               const std::string& folder, const Placement& placement) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inputFd >= 0) posix_spawn_file_actions_adddup2(&actions, inputFd, 0);
    // In the child: the installer's own current folder never moves for a command.
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 35))
    // In the child before it runs anything: no moment in which it reads the terminal from
    // the background.
    // The descriptor must still be the terminal then: standard input may be the pipe.
    const int terminalFd = inputFd < 0                  ? STDIN_FILENO
                           : isatty(STDOUT_FILENO) == 1 ? STDOUT_FILENO
                                                        : -1;
    if (placement.handTerminal && terminalFd >= 0)
        posix_spawn_file_actions_addtcsetpgrp_np(&actions, terminalFd);
#endif
    posix_spawnattr_t attr;
    initSpawnAttributes(attr, placement);
    const int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc;
}

// The command pid has started: noted for endRunningCommand, and its group gets the terminal
// when it is to have it.
void noteRunningCommand(pid_t pid, const Placement& placement, bool outlivesInstaller) {
    gCommandGroup = placement.groupOfItsOwn ? pid : -pid;
    gCommandOutlives = outlivesInstaller ? 1 : 0;
    gHandedTerminal = placement.handTerminal ? 1 : 0;
    if (placement.handTerminal) {
        giveTerminalTo(pid);
        killpg(pid, SIGCONT);  // in case it read the terminal before it was its own
    }
}

// The command has ended: the terminal is the installer's again.
void forgetRunningCommand() {
    if (gHandedTerminal) giveTerminalTo(getpgrp());
    gCommandGroup = 0;
    gCommandOutlives = 0;
    gHandedTerminal = 0;
}

// Closes the command's end of the pipe, writes text (none: the command did not start) to the
// other and closes it too.
void feedPipe(const int (&pipeFds)[2], const std::string* text) {
    if (pipeFds[0] >= 0) close(pipeFds[0]);
    if (pipeFds[1] >= 0) {
        if (text != nullptr) writeAll(pipeFds[1], *text);
        close(pipeFds[1]);
    }
}

// The status a shell gives for the wait status ws (128 + the signal that ended the command);
// interrupted when that signal was SIGINT.
int exitStatusOf(int ws, bool& interrupted) {
    if (WIFEXITED(ws)) return WEXITSTATUS(ws);
    if (WIFSIGNALED(ws)) {
        interrupted = WTERMSIG(ws) == SIGINT;
        return 128 + WTERMSIG(ws);
    }
    return kNotStarted;
}

class PosixPlatform : public Platform {
public:
    int run(const std::string& commandLine, const CommandOptions& options) override {
        terminal::restore();
        std::vector<std::string> envStore = commandEnvironment(options.cLocale);
        const std::vector<char*> envp = nullTerminated(envStore);
        std::string sh = "/bin/sh", dashC = "-c",
                    cmd = limitedCommand(commandLine, options.timeLimitSeconds);
        char* argv[] = {sh.data(), dashC.data(), cmd.data(), nullptr};

        int pipeFds[2] = {-1, -1};
        // Without its pipe the command would read the terminal instead of the text meant for
        // it (sudo would wait there for a password): it is not started at all.
        if (options.input && pipe2(pipeFds, O_CLOEXEC) != 0) {
            terminal::enterRaw();
            return kNotStarted;
        }
        const Placement placement = placementNow();
        const HeldSignals held = holdSignals();
        pid_t pid = -1;
        int rc = EPERM;
        {
            // Acting for a user: the command runs as the user, an elevated one as root.
            const host::ScopedIdentity identity(options.asRoot);
            if (identity.ok())
                rc = spawnShell(pid, argv, envp.data(), pipeFds[0], options.workingFolder,
                                placement);
        }
        if (rc == 0) noteRunningCommand(pid, placement, options.outlivesInstaller);
        feedPipe(pipeFds, rc == 0 && options.input ? &*options.input : nullptr);
        int status = kNotStarted;
        bool interrupted = false;
        if (rc == 0) status = exitStatusOf(waitForChild(pid, options.whileRunning), interrupted);
        forgetRunningCommand();
        releaseSignals(held);
        terminal::enterRaw();
        // The user pressed Ctrl-C: the whole flow stops, not just this command.
        if (interrupted) throw FlowInterrupted();
        return status;
    }

    void write(std::string_view bytes) override { writeAll(STDOUT_FILENO, bytes); }

    std::optional<CursorPos> queryCursor() override {
        if (!terminal::isTerminal() || !isatty(STDOUT_FILENO)) return std::nullopt;
        write("\x1b[6n");
        const int64_t deadline = monotonicMs() + kCursorReplyMs;
        while (true) {
            auto rep = console::findCursorReport(pending_);
            if (rep.found) {
                pending_.erase(rep.start, rep.length);  // keys typed around it stay pending
                return CursorPos{rep.row, rep.column};
            }
            int64_t left = deadline - monotonicMs();
            if (left <= 0) return std::nullopt;
            if (!fill(static_cast<int>(left)) && eof_) return std::nullopt;
        }
    }

    Key readKey(int timeoutMs) override {
        const int64_t deadline = timeoutMs < 0 ? -1 : monotonicMs() + timeoutMs;
        while (true) {
            if (resized_) {
                resized_ = false;
                return Key{KeyKind::Resize, ""};
            }
            // Back from a stop: a key that selects nothing, so the screen is drawn again.
            if (terminal::takeContinued()) return Key{KeyKind::Special, ""};
            const auto d = console::decodeKey(pending_);
            if (d.status == console::DecodeStatus::Plain ||
                d.status == console::DecodeStatus::Special) {
                return takeKey(d);
            }
            if (d.status == console::DecodeStatus::Partial) {
                if (std::optional<Key> k = awaitRestOfSequence()) return *k;
                continue;
            }
            if (eof_) return Key{KeyKind::EndOfInput, ""};
            if (std::optional<Key> k = awaitInput(deadline)) return *k;
        }
    }

    std::optional<TerminalSize> terminalSize() override {
        struct winsize ws {};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_row == 0 || ws.ws_col == 0) {
            return std::nullopt;
        }
        return TerminalSize{ws.ws_row, ws.ws_col};
    }

    std::string readLine(bool echo) override {
        pending_.clear();
        terminal::enterLineMode(echo);
        std::string line;
        char c = 0;
        while (true) {
            ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == '\n') break;
            line.push_back(c);
        }
        terminal::enterRaw();
        return line;
    }

    void sleepMs(int64_t ms) override {
        if (ms <= 0) return;
        struct timespec req {
            static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)
        };
        struct timespec rem {};
        while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
    }

    LocalDateTime now() override {
        struct timespec ts {};
        clock_gettime(CLOCK_REALTIME, &ts);
        struct tm tmv {};
        localtime_r(&ts.tv_sec, &tmv);
        return LocalDateTime{tmv.tm_year + 1900,
                             tmv.tm_mon + 1,
                             tmv.tm_mday,
                             tmv.tm_hour,
                             tmv.tm_min,
                             tmv.tm_sec,
                             static_cast<int>(ts.tv_nsec / 1000000)};
    }

    int64_t epochSeconds() override { return static_cast<int64_t>(::time(nullptr)); }

    double random01() override { return dist_(rng_); }

    bool systemPathExists(const std::string& path) override { return pathExists(path); }

private:
    // The whole key d at the front of what was read, taken from there.
    Key takeKey(const console::Decoded& d) {
        Key k{d.status == console::DecodeStatus::Plain ? KeyKind::Char : KeyKind::Special,
              pending_.substr(0, d.length)};
        pending_.erase(0, d.length);
        return k;
    }

    // The rest of a sequence follows within a few milliseconds, or never: then what came is
    // one key. nullopt: look again (more came, or a resize, after which the rest is read).
    std::optional<Key> awaitRestOfSequence() {
        if (fill(kEscapeWaitMs) || resized_) return std::nullopt;
        if (eof_) return Key{KeyKind::EndOfInput, ""};
        Key k{KeyKind::Special, pending_};
        pending_.clear();
        return k;
    }

    // Waits for input until the deadline (negative: none). nullopt: look again.
    std::optional<Key> awaitInput(int64_t deadline) {
        int wait = -1;
        if (deadline >= 0) {
            int64_t left = deadline - monotonicMs();
            if (left < 0) left = 0;
            wait = static_cast<int>(left);
        }
        if (fill(wait)) return std::nullopt;
        if (eof_) return Key{KeyKind::EndOfInput, ""};
        if (resized_) return std::nullopt;
        if (deadline >= 0 && monotonicMs() >= deadline) return Key{KeyKind::Timeout, ""};
        return std::nullopt;
    }

    // Reads what the terminal has within waitMs (negative: no limit). False when nothing
    // arrived (timeout, end of input, or a resize, which sets resized_).
    bool fill(int waitMs) {
        struct pollfd p[2] = {{STDIN_FILENO, POLLIN, 0}, {terminal::resizeFd(), POLLIN, 0}};
        const nfds_t count = p[1].fd >= 0 ? 2 : 1;
        while (true) {
            int r = poll(p, count, waitMs);
            if (r < 0 && errno == EINTR) {
                if (terminal::continuePending()) return false;
                continue;
            }
            if (r <= 0) return false;
            if (count == 2 && (p[1].revents & POLLIN) != 0 && terminal::drainResize()) {
                resized_ = true;
                if ((p[0].revents & POLLIN) == 0) return false;
            }
            char buf[256];
            ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                eof_ = true;
                return false;
            }
            pending_.append(buf, static_cast<std::size_t>(n));
            return true;
        }
    }

    std::string pending_;
    bool eof_ = false;
    bool resized_ = false;
    std::mt19937_64 rng_{std::random_device{}()};
    std::uniform_real_distribution<double> dist_{0.0, 1.0};
};

Platform* gOverride = nullptr;

}  // namespace

void endRunningCommand() {
    const pid_t group = gCommandGroup;
    if (group == 0) return;
    const int saved = errno;
    gCommandGroup = 0;
    if (gHandedTerminal) giveTerminalTo(getpgrp());  // the restore that follows needs it
    gHandedTerminal = 0;
    if (gCommandOutlives) {
        errno = saved;
        return;
    }
    if (group < 0) {
        // A command in the installer's own group (see runCommand): only its shell can be told.
        kill(-group, SIGTERM);
        kill(-group, SIGCONT);
    } else {
        killpg(group, SIGTERM);
        killpg(group, SIGCONT);  // a stopped group gets the SIGTERM only when it runs
    }
    errno = saved;
}

Platform& realPlatform() {
    static PosixPlatform p;
    return p;
}

Platform& platform() { return gOverride ? *gOverride : realPlatform(); }

void setPlatform(Platform* p) { gOverride = p; }
