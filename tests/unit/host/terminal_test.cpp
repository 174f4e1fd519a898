// The terminal comes back when the program ends by an exception nobody caught: the restore
// runs before the abort, and one line says why.
#include "host/terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "test_support.h"

namespace {

TEST(TerminalRestore, AnUncaughtExceptionRestoresTheTerminalBeforeTheAbort) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int tty = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(tty, 0);
    struct termios before {};
    ASSERT_EQ(tcgetattr(tty, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);
    int err[2];
    ASSERT_EQ(pipe(err), 0);

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const struct rlimit noCore {};
        setrlimit(RLIMIT_CORE, &noCore);
        dup2(tty, STDIN_FILENO);
        dup2(err[1], STDERR_FILENO);
        terminal::install();
        terminal::enterRaw();
        try {
            throw std::runtime_error("disk on fire");
        } catch (...) {
            std::terminate();
        }
        _exit(0);  // not reached
    }
    close(err[1]);
    int ws = 0;
    ASSERT_EQ(waitpid(pid, &ws, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(ws) && WTERMSIG(ws) == SIGABRT) << ws;
    std::string said;
    char buf[512];
    for (ssize_t n; (n = read(err[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    close(err[0]);
    EXPECT_NE(said.find("installWalletForLinux: ended by an unexpected error: disk on fire"),
              std::string::npos)
        << said;
    struct termios after {};
    ASSERT_EQ(tcgetattr(tty, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    close(tty);
    close(master);
}

}  // namespace
