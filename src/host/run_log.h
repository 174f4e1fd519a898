// The run log runlog.txt in the program folder: while LOGGINGENABLED is 1, one line for every
// command the program runs (time, exit status, duration, the command line exactly as run) and
// one for every status text shown. The password never stands on a command line, so the log
// holds none and nothing in it is masked. The file is only ever appended to. Deleted while
// logging is on, it stays deleted until the next command, and the status texts shown meanwhile
// are written then, before that command. A write that
// fails, or a runlog.txt that is not a regular file (a link, a FIFO), turns logging off and says
// so on the status line instead of ending or stalling the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/platform.h"

namespace runlog {

inline constexpr const char* kRunLogName = "runlog.txt";
inline constexpr const char* kWriteFailedStatus =
    "APPLICATION STATUS= runlog.txt WRITE FAILED, LOGGING DISABLED";

// The run log's path: the folder where the program keeps its files + "/runlog.txt".
std::string runLogPath();

// Local time in ISO 8601 with seconds: 2026-12-07T08:14:46.
std::string isoLocalTime(const LocalDateTime& t);
// One line for a command: time, "exit=" status, "duration=" seconds with milliseconds, then the
// command line. Line breaks and other control characters in the command are written as \n,
// \r, \t or \xHH, so that one command is always one line.
std::string commandLine(const LocalDateTime& t, std::string_view command, int status,
                        int64_t durationMs);
// One line for a status text shown: time, "status:", the text.
std::string statusLine(const LocalDateTime& t, std::string_view status);

// Appends the line for a command that ended, when logging is on.
void recordCommand(std::string_view command, int status, int64_t durationMs);
// Appends the line for a status text when logging is on and the text differs from the last
// status text recorded (held until the next command while there is no log file).
void recordStatus(std::string_view status);

}  // namespace runlog
