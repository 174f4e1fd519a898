// Terminal modes and their restore. The saved settings live in plain globals so that the
// signal handlers can restore them with nothing but tcsetattr.
#include "host/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>

#include "host/platform.h"

namespace terminal {
namespace {

struct termios gSaved;
volatile sig_atomic_t gHaveSaved = 0;
volatile sig_atomic_t gChanged = 0;
// The mode the program wants (what a continue after a stop must set again), and whether a
// continue happened that the screen has not been redrawn for.
enum Wanted : int { kSaved, kRaw, kLineEcho, kLineSilent };
volatile sig_atomic_t gWanted = kSaved;
volatile sig_atomic_t gContinued = 0;

void onSignal(int sig) {
    endRunningCommand();  // nothing the installer started outlives it
    restore();
    signal(sig, SIG_DFL);
    raise(sig);
}

// The self-pipe of SIGWINCH: the handler only writes one byte (a full pipe already says
// "resized", so a failed write loses nothing).
int gResizePipe[2] = {-1, -1};

void onResize(int) {
    int saved = errno;
    if (gResizePipe[1] >= 0) {
        char c = 1;
        ssize_t ignored = ::write(gResizePipe[1], &c, 1);
        (void)ignored;
    }
    errno = saved;
}

struct termios wantedSettings(int wanted) {
    struct termios t = gSaved;
    if (wanted == kRaw) {
        t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
    } else if (wanted == kLineEcho) {
        t.c_lflag |= ICANON | ECHO;
    } else if (wanted == kLineSilent) {
        t.c_lflag |= ICANON;
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    }
    return t;
}

bool inForeground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

// After a stop (Ctrl-Z, then fg) the shell has put its own settings back: set ours again.
// Continued in the background (bg), the terminal is the shell's: the fg that follows comes
// with another continue.
void onContinue(int) {
    const int saved = errno;
    if (gHaveSaved && gWanted != kSaved && inForeground()) {
        struct termios t = wantedSettings(gWanted);
        tcsetattr(STDIN_FILENO, TCSADRAIN, &t);
        gChanged = 1;
    }
    gContinued = 1;
    errno = saved;
}

// Ctrl-Z: the terminal goes back to the user's settings while the program is stopped.
// When the program is not the shell's job itself (it runs below a script or a subshell), the
// shell may have taken the terminal back already: SIGTTOU is held off so that the restore is
// still done, instead of stopping the program inside it (and again once it is continued).
void onStop(int) {
    const int saved = errno;
    if (gHaveSaved && gChanged) {
        sigset_t ttou, old;
        sigemptyset(&ttou);
        sigaddset(&ttou, SIGTTOU);
        sigprocmask(SIG_BLOCK, &ttou, &old);
        tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved);
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }
    signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(SIGTSTP);  // stops here until continued
    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTSTP, &sa, nullptr);
    errno = saved;
}

void atExitRestore() {
    endRunningCommand();
    restore();
}

// An exception nobody caught (or another std::terminate): the terminal first, then one line,
// then the abort that would have come anyway.
[[noreturn]] void onTerminate() {
    endRunningCommand();
    restore();
    const char* what = "no exception";
    if (std::exception_ptr e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            what = ex.what();
        } catch (...) {
            what = "an exception of unknown type";
        }
    }
    std::fflush(stdout);
    std::fprintf(stderr, "\ninstallWalletForLinux: ended by an unexpected error: %s\n", what);
    std::abort();
}

void apply(const struct termios& t) {
    while (tcsetattr(STDIN_FILENO, TCSADRAIN, &t) != 0) {
        if (errno != EINTR) return;
    }
    gChanged = 1;
}

}  // namespace

bool isTerminal() { return isatty(STDIN_FILENO) == 1; }

void installEndings() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::atexit(atExitRestore);
    std::set_terminate(onTerminate);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    // SIGABRT: abort(), a failed assertion, std::terminate.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT}) sigaction(sig, &sa, nullptr);
}

void install() {
    if (gHaveSaved || !isTerminal()) return;
    if (tcgetattr(STDIN_FILENO, &gSaved) != 0) return;
    gHaveSaved = 1;
    installEndings();
    struct sigaction stop {};
    stop.sa_handler = onStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, nullptr);
    struct sigaction cont {};
    cont.sa_handler = onContinue;
    sigemptyset(&cont.sa_mask);
    sigaction(SIGCONT, &cont, nullptr);

    if (pipe2(gResizePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gResizePipe[0] = gResizePipe[1] = -1;
        return;
    }
    struct sigaction winch {};
    winch.sa_handler = onResize;
    sigemptyset(&winch.sa_mask);
    winch.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &winch, nullptr);
}

int resizeFd() { return gResizePipe[0]; }

bool drainResize() {
    if (gResizePipe[0] < 0) return false;
    bool any = false;
    char buf[64];
    while (true) {
        ssize_t n = ::read(gResizePipe[0], buf, sizeof buf);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return any;
    }
}

bool continuePending() { return gContinued != 0; }

bool takeContinued() {
    if (!gContinued) return false;
    gContinued = 0;
    return true;
}

void enterRaw() {
    if (!gHaveSaved) return;
    gWanted = kRaw;
    apply(wantedSettings(kRaw));
}

void enterLineMode(bool echo) {
    if (!gHaveSaved) return;
    gWanted = echo ? kLineEcho : kLineSilent;
    apply(wantedSettings(gWanted));
}

void restore() {
    gWanted = kSaved;
    if (gHaveSaved && gChanged) {
        tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved);
        gChanged = 0;
    }
}

}  // namespace terminal
