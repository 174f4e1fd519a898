// The captures through tempout.txt in the program folder, and the two routines built on them.
#include "host/shell_capture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/shared_state.h"
#include "core/text.h"
#include "host/fatal.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/regular_file.h"
#include "host/shell.h"

namespace {

constexpr const char* kScratch = "tempout.txt";

}  // namespace

void cleanCaptureInPlace(std::string& text) {
    if (text.find('\0') != std::string::npos)
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    // In place: a listing of hundreds of thousands of paths is not copied to lose its blanks.
    const std::string_view kept = trim(text);
    const auto first = static_cast<std::size_t>(kept.data() - text.data());
    text.erase(first + kept.size());
    text.erase(0, first);
}

std::string cleanCapturedOutput(std::string_view raw) {
    std::string text(raw);
    cleanCaptureInPlace(text);
    return text;
}

namespace {

const std::string& capture(const std::string& command, CapturePrivilege privilege, int64_t pauseMs,
                           bool clean) {
    auto& s = S();
    s.COMMANDLINEINPUT = command;
    std::string().swap(s.COMMANDLINEOUTPUT);
    const std::string& folder = s.THISPROGRAMEXECUTABLEFILEPATH;
    const std::string scratch = folder + "/" + kScratch;
    if (const int err = folderEntryError(folder); err != 0)
        fatalFileError(scratch, std::strerror(err));
    // An old scratch file must never be read as this command's output.
    if (::unlink(scratch.c_str()) != 0 && errno != ENOENT)
        fatalFileError(scratch, std::strerror(errno));
    // The command runs in the program folder, so its relative redirection lands there.
    const std::string redirected = command + " > " + kScratch;
    if (privilege == CapturePrivilege::Elevated) {
        runElevatedIn(folder, redirected, /*cLocale=*/true);
    } else {
        runCommandIn(folder, redirected, /*cLocale=*/true);
    }
    if (pauseMs > 0) platform().sleepMs(pauseMs);
    // Read with one read call where the system allows; a link planted there is not followed.
    const int readError = host::readFileInto(scratch, s.COMMANDLINEOUTPUT);
    if (readError != ENOENT) {
        ::unlink(scratch.c_str());
        if (clean) cleanCaptureInPlace(s.COMMANDLINEOUTPUT);
    }
    return s.COMMANDLINEOUTPUT;
}

}  // namespace

const std::string& captureThroughScratchFile(const std::string& command, CapturePrivilege privilege,
                                             int64_t pauseMs) {
    return capture(command, privilege, pauseMs, /*clean=*/true);
}

const std::string& captureBytesThroughScratchFile(const std::string& command, int64_t pauseMs) {
    return capture(command, CapturePrivilege::User, pauseMs, /*clean=*/false);
}

void PIPECOMMANDLINEOUTPUTINTOVARIABLE() { captureThroughScratchFile(S().COMMANDLINEINPUT); }

void PIPECOMMANDLINEOUTPUTOFCURRENTDIRECTORYINTOVARIABLE() {
    captureThroughScratchFile(S().COMMANDLINEINPUT, CapturePrivilege::User, 2000);
}
