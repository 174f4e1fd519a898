// The run log: lines composed by pure functions, appended with one write each to a file that
// is opened for every line (so that clearing it from the advanced menu needs no reopening).
// Once written, a log that is gone was deleted: only the next command makes it again.
#include "host/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/escape.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "host/whole_file.h"

namespace runlog {
namespace {

// Status lines kept while there is no log to append them to (the oldest go first).
constexpr std::size_t kHeldStatusLines = 32;

// Kept with the run's memory: one log for the whole run.
RunMemory::RunLog& state() { return runMemory().log; }

// Logging stops; the status line says why, drawn over whatever is on the screen (a command
// may be running) with the cursor put back where it was.
void stopLogging() {
    auto& s = S();
    s.LOGGINGENABLED = 0;
    state().heldStatuses.clear();
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = kWriteFailedStatus;
    std::string line = kWriteFailedStatus;
    if (line.size() < kScreenColumns) line.append(kScreenColumns - line.size(), ' ');
    platform().write(
        "\x1b"
        "7\x1b[" +
        std::to_string(kStatusRow) + ";1H" + line +
        "\x1b"
        "8");
    state().lastStatus = kWriteFailedStatus;
    state().haveLastStatus = true;
}

enum class Opened { Yes, Missing, Refused };

// Opens the log for appending: private to the user from the start, never through a link
// planted in the folder, and never waiting (a FIFO there would block an ordinary open until
// someone reads it). Only a regular file is a log.
Opened openLog(bool create, int& fd) {
    const int flags =
        O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (create ? O_CREAT : 0);
    fd = ::open(runLogPath().c_str(), flags, 0600);
    if (fd < 0) return errno == ENOENT && !create ? Opened::Missing : Opened::Refused;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        fd = -1;
        return Opened::Refused;
    }
    return Opened::Yes;
}

// Appends text with one write; a log that cannot be written turns logging off.
void append(bool create, const std::string& text) {
    int fd = -1;
    const Opened opened = openLog(create, fd);
    if (opened == Opened::Missing) {
        // Deleted: it stays so until a command is logged; what was shown meanwhile goes in
        // then, before that command.
        std::deque<std::string>& held = state().heldStatuses;
        held.push_back(text);
        if (held.size() > kHeldStatusLines) held.pop_front();
        return;
    }
    bool ok = opened == Opened::Yes && writeAll(fd, text) == 0;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok) {
        stopLogging();
        return;
    }
    state().written = true;
}

}  // namespace

std::string runLogPath() { return S().THISPROGRAMEXECUTABLEFILEPATH + "/" + kRunLogName; }

std::string isoLocalTime(const LocalDateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string commandLine(const LocalDateTime& t, std::string_view command, int status,
                        int64_t durationMs) {
    char duration[48];
    std::snprintf(duration, sizeof duration, "%lld.%03llds",
                  static_cast<long long>(durationMs / 1000),
                  static_cast<long long>(durationMs % 1000));
    return isoLocalTime(t) + " exit=" + std::to_string(status) + " duration=" + duration +
           " command: " + escapeControls(command, Escaping::Log) + "\n";
}

std::string statusLine(const LocalDateTime& t, std::string_view status) {
    return isoLocalTime(t) + " status: " + escapeControls(status, Escaping::Log) + "\n";
}

void recordCommand(std::string_view command, int status, int64_t durationMs) {
    if (S().LOGGINGENABLED != 1) {
        state().written = false;
        return;
    }
    // The command line as it ran: the password never stands on one (it reaches sudo on
    // standard input only), so there is nothing to hide and nothing is changed.
    std::string text;
    for (const auto& held : state().heldStatuses) text += held;
    state().heldStatuses.clear();
    text += commandLine(platform().now(), command, status, durationMs);
    append(true, text);
}

void recordStatus(std::string_view status) {
    RunMemory::RunLog& log = state();
    if (S().LOGGINGENABLED != 1) {
        log.haveLastStatus = false;  // the first text shown after logging is turned on is written
        log.written = false;
        log.heldStatuses.clear();
        return;
    }
    if (log.haveLastStatus && status == log.lastStatus) return;
    log.lastStatus = std::string(status);
    log.haveLastStatus = true;
    append(!log.written, statusLine(platform().now(), status));
}

}  // namespace runlog
