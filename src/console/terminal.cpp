// Terminal modes and their restore. The saved settings live in plain globals so that the
// signal handlers can restore them with nothing but tcsetattr.
#include "console/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <initializer_list>

namespace terminal {
namespace {

struct termios gSaved;
volatile sig_atomic_t gHaveSaved = 0;
volatile sig_atomic_t gChanged = 0;

void onSignal(int sig) {
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

void atExitRestore() { restore(); }

void apply(const struct termios& t) {
    while (tcsetattr(STDIN_FILENO, TCSADRAIN, &t) != 0) {
        if (errno != EINTR) return;
    }
    gChanged = 1;
}

}  // namespace

bool isTerminal() { return isatty(STDIN_FILENO) == 1; }

void install() {
    if (gHaveSaved || !isTerminal()) return;
    if (tcgetattr(STDIN_FILENO, &gSaved) != 0) return;
    gHaveSaved = 1;
    std::atexit(atExitRestore);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(sig, &sa, nullptr);

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

void enterRaw() {
    if (!gHaveSaved) return;
    struct termios t = gSaved;
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    apply(t);
}

void enterLineMode(bool echo) {
    if (!gHaveSaved) return;
    struct termios t = gSaved;
    t.c_lflag |= ICANON;
    if (echo) {
        t.c_lflag |= ECHO;
    } else {
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    }
    apply(t);
}

void restore() {
    if (gHaveSaved && gChanged) {
        tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved);
        gChanged = 0;
    }
}

}  // namespace terminal
