// What the menus and the commands share at start: where the installer's own files live, and
// the shared state's start values.
#include "app/run_setup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/build_config.h"
#include "core/path.h"
#include "core/shared_state.h"
#include "host/file_ops.h"
#include "host/file_status.h"
#include "install/typed_path.h"

namespace {

std::string envOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string executableFolder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && argv0 != nullptr) exe = std::filesystem::absolute(argv0, ec);
    std::string folder = exe.parent_path().string();
    return folder.empty() ? std::string("/") : folder;
}

}  // namespace

std::string invocationFileName(std::string_view invocation) {
    if (invocation.substr(0, 2) == "./") invocation.remove_prefix(2);
    auto slash = invocation.rfind('/');
    if (slash != std::string_view::npos) invocation.remove_prefix(slash + 1);
    return std::string(invocation);
}

std::string fileFolderFor(std::string_view programFolder, bool programFolderWritable,
                          std::string_view xdgStateHome, std::string_view home) {
    if (programFolderWritable) return std::string(programFolder);
    std::string base;
    if (!xdgStateHome.empty() && xdgStateHome.front() == '/') {
        base = xdgStateHome;  // the XDG rule: a relative value is ignored
    } else if (!home.empty()) {
        base = std::string(home) + "/.local/state";
    } else {
        return {};
    }
    return joinPath(withoutTrailingSlash(base), "corvane-installer");
}

bool makePrivateFolder(const std::string& folder) {
    return makeFolderPath(folder, 0700) == 0 && euidaccess(folder.c_str(), W_OK | X_OK) == 0;
}

bool prepareToRun(const char* argv0, const std::string& startFolder, std::string& why) {
    // Its own files: beside the program when it may write there (the start folder keeps its
    // documented role then); otherwise all of them in the state folder, which also becomes
    // the start folder so that nothing lands wherever the user happened to be.
    const std::string programFolder = executableFolder(argv0);
    std::string fileFolder = programFolder;
    if (euidaccess(programFolder.c_str(), W_OK | X_OK) != 0) {
        fileFolder =
            fileFolderFor(programFolder, false, envOrEmpty("XDG_STATE_HOME"), envOrEmpty("HOME"));
        if (fileFolder.empty()) {
            why =
                "cannot keep its files: " + programFolder + " is not writable and HOME is not set";
            return false;
        }
        if (!makePrivateFolder(fileFolder) || chdir(fileFolder.c_str()) != 0) {
            why = "cannot keep its files: " + programFolder + " is not writable and " + fileFolder +
                  " cannot be made: " + std::strerror(errno);
            return false;
        }
    }
    auto& s = S();
    install::startFolder() = startFolder;
    s.TEMPORARYDYNAMICARRAY.resetToOneEmpty();
    s.LOCATIONDYNAMICARRAY.resetToOneEmpty();
    s.TEMPARRAYLOCALDYNAMICARRAY.resetToOneEmpty();
    s.OSTYPE = "Linux";
    s.OSPATHSEPARATOR = "/";
    s.CURRENTOSACCOUNTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERNAME = envOrEmpty("USER");
    s.APPLICATIONTEXTWALLETINSTALLERVERSION = build_config::kVersion;
    s.APPLICATIONTEXTWALLETINSTALLERDEVELOPMENTSTAGE = "ALPHA";
    s.APPLICATIONTEXTWALLETINSTALLATIONSTATUS = "unknown";
    s.APPLICATIONTEXTWALLETINSTALLATIONDATE = "unknown";
    s.THISPROGRAMEXECUTABLEFILEPATH = fileFolder;
    s.THISPROGRAMEXECUTABLEFILENAME = invocationFileName(argv0 != nullptr ? argv0 : "");
    s.CURRENTUSERHOMEPATH = envOrEmpty("HOME");
    s.CURRENTOSACCOUNTUSERHOMEPATH = s.CURRENTUSERHOMEPATH;
    return true;
}
