// Marking a launcher trusted: three gio attributes set as the user, only where a desktop
// session can take them; everywhere else the desktop asks the user once, which is harmless.
#include "install/desktop_trust.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "host/platform.h"
#include "host/shell.h"
#include "host/shell_quote.h"
#include "net/sha256.h"

namespace desktop_trust {

std::vector<std::string> markCommands(const std::string& launcher, const std::string& sha256Hex) {
    // gio says nothing on success; what it says on failure is the outcome's, not the screen's.
    const std::string file = shellQuote(launcher);
    const std::string quiet = " >/dev/null 2>&1";
    return {
        "gio set -- " + file + " metadata::trusted true" + quiet,
        "gio set -- " + file + " metadata::caja-trusted-launcher true" + quiet,
        "gio set -t string -- " + file + " metadata::xfce-exe-checksum " + shellQuote(sha256Hex) +
            quiet,
    };
}

bool sessionBusReachable(const char* busAddress, const char* runtimeDir) {
    if (busAddress != nullptr && *busAddress != '\0') return true;
    if (runtimeDir == nullptr || *runtimeDir == '\0') return false;
    // The bus that a systemd user session keeps for the user; GLib finds it by itself.
    struct stat st {};
    const std::string socketPath = std::string(runtimeDir) + "/bus";
    return stat(socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

TrustOutcome markTrusted(const std::string& launcher) {
    TrustOutcome outcome;
    outcome.launcher = launcher;
    if (!platform().systemPathExists(kGioPath)) {
        outcome.trust = Trust::NoGio;
        return outcome;
    }
    if (!sessionBusReachable(std::getenv("DBUS_SESSION_BUS_ADDRESS"),
                             std::getenv("XDG_RUNTIME_DIR"))) {
        outcome.trust = Trust::NoSession;
        return outcome;
    }
    const std::optional<std::string> sum = net::sha256OfRegularFile(launcher);
    if (!sum) {
        outcome.trust = Trust::Unreadable;
        return outcome;
    }
    for (const std::string& command : markCommands(launcher, *sum)) {
        // An empty standard input keeps gio off the keyboard.
        const int status = runShellCommand(
            command, CommandOptions{std::string(), false, kGioTimeLimitSeconds, {}});
        if (status != 0) {
            outcome.trust = Trust::Failed;
            outcome.command = command;
            outcome.status = status;
            return outcome;
        }
    }
    outcome.trust = Trust::Marked;
    return outcome;
}

std::string mayAskNotice(const TrustOutcome& outcome) {
    std::string why;
    switch (outcome.trust) {
        case Trust::Marked:
            return "";
        case Trust::NoSession:
            why = "no desktop session";
            break;
        case Trust::NoGio:
            why = "gio is not installed";
            break;
        case Trust::Unreadable:
            why = "the launcher could not be read";
            break;
        case Trust::Failed:
            why = "gio failed with status " + std::to_string(outcome.status);
            break;
    }
    return "the desktop may ask once to trust " +
           std::filesystem::path(outcome.launcher).filename().string() + " (" + why + ")";
}

}  // namespace desktop_trust
