// System package provisioning: the terminal emulators installed when missing, the four package
// groups in their order, and the apt-get command of one package.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace provision {

struct TerminalPackage {
    const char* executable;  // tested with the platform's fixed-path test
    const char* package;     // installed when the executable is absent
};

// xterm, gnome-terminal, xfce4-terminal, in the order they are tested.
const std::vector<TerminalPackage>& terminalPackages();

struct PackageGroup {
    const char* heading;     // printed before the group (nullptr: none)
    bool blankLineBefore;    // a " " line before the heading
    bool clearBefore;        // the screen is cleared before the heading
    bool pauseAfterHeading;  // a 5-second pause that a key ends early
    bool debconfBefore;      // the font licence answer is given before the group
    std::vector<std::string> packages;
};

// Groups A (32-bit libraries), B (64-bit libraries and tools), C (fonts), D (programs).
const std::vector<PackageGroup>& packageGroups();

// "apt-get -y install " + package (the elevated runner adds "sudo -kS ").
std::string aptInstallCommand(std::string_view package);
// The font licence answer: run elevated through sh so that sudo still reads the password on
// its own standard input while debconf-set-selections reads the answer from the pipe.
std::string debconfCommand();

// What stands beside a group heading while its packages install: "  package 3 of 41".
std::string packageCountText(std::size_t number, std::size_t count);

inline constexpr const char* kDebconfSelection =
    "ttf-mscorefonts-installer msttcorefonts/accepted-mscorefonts-eula select true";
inline constexpr int kHeadingPauseMs = 5000;

// How one package of the list ended.
enum class PackageState {
    Installed,         // apt-get installed it in this run
    AlreadyInstalled,  // it was installed before: no apt-get run
    NotAvailable,      // apt has no install candidate for it on this system: not attempted
    NeedsI386,         // an :i386 package while the i386 architecture is not enabled
    Failed,            // apt-get (or the command of the line) failed: exitStatus says how
};

struct PackageResult {
    std::string name;
    PackageState state = PackageState::Installed;
    int exitStatus = 0;  // of the failed command (Failed only)
};

// What one provisioning run did: a failed command that is not a package's own (the package
// lists' refresh, the font licence answer, the fonts' reconfiguration) and every package's
// end, in the order of the list.
struct CommandFailure {
    std::string command;
    int exitStatus = 0;
};
struct ProvisionReport {
    std::vector<CommandFailure> failedCommands;
    std::vector<PackageResult> packages;
};

// Provisions the terminal emulators and the four groups (what PROCESSCHECK64 does) and says
// how each package ended.
ProvisionReport provisionSystemPackages();

}  // namespace provision

// The provisioning routine (the report of provision::provisionSystemPackages is dropped).
void PROCESSCHECK64();
