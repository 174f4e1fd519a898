// The run log: lines composed by pure functions, appended with one write each to a file that
// is opened for every line (so that clearing it from the advanced menu needs no reopening).
#include "host/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/shared_state.h"
#include "host/shell_quote.h"
#include "host/whole_file.h"

namespace runlog {
namespace {

constexpr const char* kMask = "********";
constexpr std::size_t kScreenWidth = 80;
constexpr int kStatusRow = 22;

std::string gLastStatus;
bool gHaveLastStatus = false;

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The password may stand in a text as typed or as the shell-quoting helper wrote it.
std::string scrubbed(std::string_view text) {
    const std::string& password = S().SUDOPASSWORD;
    if (password.empty()) return std::string(text);
    const std::string quoted = shellSingleQuote(password);
    const std::string inner = quoted.substr(1, quoted.size() - 2);
    return withoutSecret(withoutSecret(text, inner), password);
}

// Logging stops; the status line says why, drawn over whatever is on the screen (a command
// may be running) with the cursor put back where it was.
void stopLogging() {
    auto& s = S();
    s.LOGGINGENABLED = 0;
    s.APPLICATIONTEXTWALLETCURRENTSTATUS = kWriteFailedStatus;
    std::string line = kWriteFailedStatus;
    if (line.size() < kScreenWidth) line.append(kScreenWidth - line.size(), ' ');
    platform().write(
        "\x1b"
        "7\x1b[" +
        std::to_string(kStatusRow) + ";1H" + line +
        "\x1b"
        "8");
    gLastStatus = kWriteFailedStatus;
    gHaveLastStatus = true;
}

void append(const std::string& line) {
    const std::string path = runLogPath();
    // No following a link planted in the program folder; private to the user from the start.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && writeAll(fd, line) == 0;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    if (!ok) stopLogging();
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
           " command: " + oneLine(command) + "\n";
}

std::string statusLine(const LocalDateTime& t, std::string_view status) {
    return isoLocalTime(t) + " status: " + oneLine(status) + "\n";
}

std::string withoutSecret(std::string_view text, std::string_view secret) {
    std::string out;
    if (secret.empty()) return std::string(text);
    std::size_t at = 0;
    while (true) {
        const std::size_t hit = text.find(secret, at);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(at, hit - at));
        out += kMask;
        at = hit + secret.size();
    }
    out.append(text.substr(at));
    return out;
}

void recordCommand(std::string_view command, int status, int64_t durationMs) {
    if (S().LOGGINGENABLED != 1) return;
    append(scrubbed(commandLine(platform().now(), command, status, durationMs)));
}

void recordStatus(std::string_view status) {
    if (S().LOGGINGENABLED != 1) {
        gHaveLastStatus = false;  // the first text shown after logging is turned on is written
        return;
    }
    if (gHaveLastStatus && status == gLastStatus) return;
    gLastStatus = std::string(status);
    gHaveLastStatus = true;
    append(scrubbed(statusLine(platform().now(), status)));
}

void resetRunLog() {
    gLastStatus.clear();
    gHaveLastStatus = false;
}

}  // namespace runlog
