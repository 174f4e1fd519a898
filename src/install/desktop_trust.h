// Marks a launcher in the user's Desktop folder as trusted for the desktops that refuse to
// start a launcher the user did not make until the user confirms it: GNOME (Nautilus and the
// desktop icons read metadata::trusted), MATE's Caja (metadata::caja-trusted-launcher) and
// Xfce 4.18 and later (metadata::xfce-exe-checksum, the file's SHA-256). KDE asks only for the
// executable bit, which the launcher has from its writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace desktop_trust {

// Where gio must stand for the launcher to be marked (asked through the platform seam).
inline constexpr const char* kGioPath = "/usr/bin/gio";
// The longest one gio command may take: a session bus that does not answer must not hold the
// installation up.
inline constexpr int kGioTimeLimitSeconds = 10;

enum class Trust {
    Marked,      // every desktop's attribute is set, the checksum of the content as written
    NoSession,   // no session bus to reach (no desktop session, e.g. over ssh): nothing ran
    NoGio,       // gio is not installed: nothing ran
    Unreadable,  // the launcher is not a regular file that can be read: nothing ran
    Failed,      // a gio command failed (command and status say which and how)
};

// What marking one launcher came to. Only Marked spares the user the desktop's question: in
// every other case the desktop may ask once to trust the launcher (the closing summary says so).
struct TrustOutcome {
    Trust trust = Trust::NoSession;
    std::string launcher;  // the launcher's full path
    std::string command;   // Failed: the gio command line that failed
    int status = 0;        // Failed: its exit status (124: it ran out of time)

    bool desktopMayAsk() const { return trust != Trust::Marked; }
};

// The gio command lines that mark launcher, whose content has the lower-case hex SHA-256
// sha256Hex: metadata::trusted, metadata::caja-trusted-launcher, metadata::xfce-exe-checksum.
std::vector<std::string> markCommands(const std::string& launcher, const std::string& sha256Hex);

// True when a session bus can be reached: busAddress (DBUS_SESSION_BUS_ADDRESS) is not empty,
// or runtimeDir (XDG_RUNTIME_DIR) holds the user's bus socket "bus". Either may be null.
bool sessionBusReachable(const char* busAddress, const char* runtimeDir);

// Marks the launcher as the user (through the platform's command runner, never sudo) when gio
// exists and a session bus is reachable; never fails the installation. A launcher written anew
// is marked anew: the Xfce checksum follows its content.
TrustOutcome markTrusted(const std::string& launcher);

// A line for the closing summary when the desktop may ask ("" when the launcher is marked),
// e.g. "the desktop may ask once to trust Corvane wallet.desktop (no desktop session)".
std::string mayAskNotice(const TrustOutcome& outcome);

}  // namespace desktop_trust
