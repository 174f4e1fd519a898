// Terminal modes and their restore. The saved settings live in plain globals so that the
// signal handlers can restore them with nothing but tcsetattr.
#include "console/terminal.h"

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
