// Typed installation paths: the wallet rule, the start folder and the limits of Linux paths,
// checked before any flow builds a folder or a command line from them.
#include "install/typed_path.h"

#include <algorithm>

#include "console/console.h"
#include "core/path.h"
#include "core/shared_state.h"
#include "core/text.h"

namespace install {

namespace {

std::size_t longestName(std::string_view path) {
    std::size_t longest = 0;
    forEachLine(
        path, [&](std::string_view name) { longest = std::max(longest, name.size()); }, '/');
    return longest;
}

}  // namespace

std::string walletPathRule(std::string_view typed) {
    constexpr std::string_view kEnding = "wallet";
    if (typed.size() >= kEnding.size() && typed.substr(typed.size() - kEnding.size()) == kEnding)
        return std::string(typed);
    return std::string(typed) + "/wallet";
}

std::string& startFolder() { return runMemory().startFolder; }

TypedPath typedInstallationPath(std::string_view typed, std::string_view startFolder) {
    // A zero byte would end the path early for the system while the flows use all of it.
    if (typed.find('\0') != std::string_view::npos) {
        return {std::nullopt, "Path Refused, It Holds A Zero Byte"};
    }
    return checkedPath(walletPathRule(typed), startFolder);
}

TypedPath checkedPath(std::string path, std::string_view startFolder) {
    if (path.find('\0') != std::string::npos) {
        return {std::nullopt, "Path Refused, It Holds A Zero Byte"};
    }
    if (path.empty()) return {std::nullopt, "Path Refused, It Is Empty"};
    if (path.front() != '/') {
        if (startFolder.empty()) {
            return {std::nullopt, "Path Refused, Start Folder Unknown: Type A Full Path"};
        }
        path = joinPath(startFolder, path);
    }
    // Too long a path or name cannot be made a folder: the flows would work (and wget would
    // download) wherever they happened to stand instead.
    if (path.size() > kLongestInstallationPath) {
        return {std::nullopt,
                "Path Refused, Longer Than " + std::to_string(kLongestInstallationPath) + " Bytes"};
    }
    if (longestName(path) > kLongestFolderName) {
        return {std::nullopt, "Path Refused, A Folder Name Longer Than " +
                                  std::to_string(kLongestFolderName) + " Bytes"};
    }
    return {path, ""};
}

void askTargetLocation() {
    auto& s = S();
    console::printLine("");
    const TypedPath typed =
        typedInstallationPath(console::promptLine(kTargetLocationPrompt), startFolder());
    if (typed.path) {
        s.APPLICATIONTEXTWALLETINSTALLATIONPATH = *typed.path;
    } else {
        s.APPLICATIONTEXTWALLETCURRENTSTATUS = typed.refusal;
    }
}

}  // namespace install
