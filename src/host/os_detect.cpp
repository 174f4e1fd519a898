// Operating-system detection (GETOSTYPE) and the capture it uses, which also takes standard
// error and keeps its scratch file in a folder of its own.
#include "host/os_detect.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "core/shared_state.h"
#include "core/text.h"
#include "host/fatal.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/shell_capture.h"
#include "host/whole_file.h"

namespace {

struct CodeName {
    const char* searched;
    const char* version;
};

constexpr std::array<CodeName, 5> kDebianCodeNames = {{
    {"stretch", "9"},
    {"buster", "10"},
    {"bullseye", "11"},
    {"bookworm", "12"},
    {"trixie", "13"},
}};

constexpr std::array<CodeName, 3> kUbuntuCodeNames = {{
    {"bionic", "18.04"},
    {"focal", "20.04"},
    {"impish", "21.10"},
}};

template <std::size_t N>
bool matchCodeName(std::string_view text, const std::array<CodeName, N>& table, OsRelease& out) {
    for (const auto& entry : table) {
        if (text.find(entry.searched) != std::string_view::npos) {
            out.version = entry.version;
            out.codeName = entry.searched;
            return true;
        }
    }
    return false;
}

}  // namespace

OsRelease classifyLsbRelease(std::string_view text) {
    OsRelease out;
    if (text.find("Debian") != std::string_view::npos) {
        out.subtype = "Debian";
        if (matchCodeName(text, kDebianCodeNames, out)) return out;
    }
    if (text.find("Ubuntu") != std::string_view::npos) {
        out.subtype = "Ubuntu";
        matchCodeName(text, kUbuntuCodeNames, out);
    }
    return out;
}

std::string captureInTempFolder(const std::string& commandLine) {
    const std::string tempFolder = S().THISPROGRAMEXECUTABLEFILEPATH + "/" + kCaptureTempFolderName;
    if (!canEnterFolder(tempFolder)) createMissingFolders(tempFolder);
    if (!canEnterFolder(tempFolder)) return "";

    // The command runs in the temporary folder, where its relative redirection lands.
    const std::string scratch = tempFolder + "/tempout.txt";
    unlink(scratch.c_str());
    CommandOptions options{std::nullopt, true, 0, {}};
    options.workingFolder = tempFolder;
    runShellCommand(commandLine + " > tempout.txt 2>&1", options);
    if (access(scratch.c_str(), F_OK) != 0) return "";
    return cleanCapturedOutput(readWholeFile(scratch));
}

void PIPECOMMANDLINEOUTPUTINTOVARIABLEANDTEMPFILEANDNULL() {
    S().COMMANDLINEOUTPUT = captureInTempFolder(S().COMMANDLINEINPUT);
}

void GETOSTYPE() {
    auto& s = S();
    if (platform().systemPathExists("/etc/fedora-release")) {
        s.OSSUBTYPE = "Fedora";
    } else if (platform().systemPathExists("/etc/SuSE-release")) {
        s.OSSUBTYPE = "SuSE";
    } else {
        const OsRelease release = classifyLsbRelease(captureInTempFolder("lsb_release -a"));
        if (!release.subtype.empty()) s.OSSUBTYPE = release.subtype;
        if (!release.version.empty()) {
            s.OSVERSION = release.version;
            s.OSCODENAME = release.codeName;
        }
    }

    s.OSTYPE = std::string(trim(s.OSTYPE));
    s.OSSUBTYPE = std::string(trim(s.OSSUBTYPE));
    s.OSVERSION = std::string(trim(s.OSVERSION));
    if (s.OSCONTAINER.empty()) s.OSCONTAINER = "Metal";
    if (s.OSSUBTYPE.empty()) s.OSSUBTYPE = "Unknown";
    if (s.OSVERSION.empty()) s.OSVERSION = "Unknown";

    if (const std::string& kernel = captureThroughScratchFile("uname -r"); !kernel.empty())
        s.OSKERNELVERSION = kernel;
    s.OSKERNELDRIVERNAME = "Linux";
    if (!s.OSKERNELVERSION.empty()) s.OSKERNELDRIVERVERSION = s.OSKERNELVERSION;
}
