// The two captures that run a command in the program folder with its standard output
// redirected into tempout.txt, then read that file back into COMMANDLINEOUTPUT.
#include "host/shell_capture.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/installWalletForLinux.h"
#include "host/fatal.h"
#include "host/platform.h"
#include "host/shell.h"

namespace {

constexpr const char* kScratch = "tempout.txt";

std::string currentFolder() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : p.string();
}

void enter(const std::string& folder) {
    if (::chdir(folder.c_str()) != 0) fatalFileError(folder + "/" + kScratch, std::strerror(errno));
}

void capture(bool pauseAfter) {
    auto& s = S();
    s.COMMANDLINEOUTPUT.clear();
    const std::string start = currentFolder();
    const std::string& folder = s.THISPROGRAMEXECUTABLEFILEPATH;
    if (start != folder) enter(folder);
    // An old scratch file must never be read as this command's output.
    if (::unlink(kScratch) != 0 && errno != ENOENT)
        fatalFileError(folder + "/" + kScratch, std::strerror(errno));
    runCommand(s.COMMANDLINEINPUT + " > tempout.txt", /*cLocale=*/true);
    if (pauseAfter) {
        platform().sleepMs(2000);
        if (currentFolder() != folder) enter(folder);
    }
    std::ifstream in(kScratch, std::ios::binary);
    if (in) {
        std::ostringstream raw;
        raw << in.rdbuf();
        in.close();
        ::unlink(kScratch);
        s.COMMANDLINEOUTPUT = cleanCapturedOutput(raw.str());
    }
    if (!start.empty() && start != currentFolder()) (void)::chdir(start.c_str());
}

}  // namespace

std::string cleanCapturedOutput(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        if (c != '\0') out.push_back(c);
    }
    std::size_t b = out.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    std::size_t e = out.find_last_not_of(' ');
    return out.substr(b, e - b + 1);
}

void PIPECOMMANDLINEOUTPUTINTOVARIABLE() { capture(false); }

void PIPECOMMANDLINEOUTPUTOFCURRENTDIRECTORYINTOVARIABLE() { capture(true); }
