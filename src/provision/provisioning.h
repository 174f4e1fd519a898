// System package provisioning: the terminal emulators installed when missing, the four package
// groups in their order, what dpkg and apt say about them before anything is installed, and
// how each package ended.
#pragma once

#include <optional>
#include <set>
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

// Groups A (32-bit libraries), B (64-bit libraries and tools), C (fonts), D (programs), as
// package_list.def names them.
const std::vector<PackageGroup>& packageGroups();

// The list's kernel headers entry names the running kernel's release by the shell's command
// substitution; this is the entry with the release put in (unchanged when release is empty).
inline constexpr const char* kKernelRelease = "$(uname -r)";
std::string withKernelRelease(std::string_view package, std::string_view release);

// "apt-get -y install " + package (the elevated runner adds "sudo -kS "); package may be
// several names.
std::string aptInstallCommand(std::string_view package);
// "apt-get -s install " + packages, its output thrown away: apt resolves them without root.
std::string aptSimulateCommand(std::string_view packages);
// The font licence answer: run elevated through sh so that sudo still reads the password on
// its own standard input while debconf-set-selections reads the answer from the pipe.
std::string debconfCommand();

inline constexpr const char* kAptUpdateCommand = "apt-get update";
// What the font group's documented "dpkg-reconfigure ttf-mscorefonts-installer" meant: run
// after the font package installed, without questions (the licence is answered already).
inline constexpr const char* kFontReconfigureCommand =
    "dpkg-reconfigure -f noninteractive ttf-mscorefonts-installer";
// The command that enables the i386 architecture (named to the user, never run).
inline constexpr const char* kEnableI386Command = "dpkg --add-architecture i386";

// What stands beside a group heading while its packages install: "  package 3 of 41".
std::string packageCountText(std::size_t number, std::size_t count);
// What stands there while the whole group installs in one run: "  packages 1 to 41 of 41".
std::string allPackagesCountText(std::size_t count);

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

// The words for how a package ended, as the run log has them: "installed", "already
// installed", "not available on this system", "needs the i386 architecture (dpkg
// --add-architecture i386)", "failed (exit status 100)".
std::string packageStateText(const PackageResult& result);

// What one provisioning run did: a failed command that is not a package's own (the package
// lists' refresh, the font licence answer, the fonts' reconfiguration) and every package's
// end, in the order of the list (a package the list names twice is reported once).
struct CommandFailure {
    std::string command;
    int exitStatus = 0;
};
struct ProvisionReport {
    std::vector<CommandFailure> failedCommands;
    std::vector<PackageResult> packages;
};

// ---- What the system has, asked once before the first install.

// Package keys are spelled as the list spells names: "name:arch" for every installed package
// (and for every name an installed package provides), plus the bare "name" when arch is the
// native one or "all".
struct SystemPackages {
    std::string architecture;  // dpkg --print-architecture
    std::set<std::string> foreignArchitectures;
    std::set<std::string> installed;
    // Names that apt can install: an install candidate, or a real package that provides it.
    std::set<std::string> available;
    // False when apt said nothing at all about the list: then every package is attempted.
    bool availabilityKnown = false;
};

// The queries (run as the user, LC_ALL=C, output captured).
std::string architecturesQuery();  // native, then the foreign architectures, one a line
std::string installedQuery();      // every package of the dpkg database with what it provides
// apt-cache policy of kAlwaysKnown and the names.
inline constexpr const char* kAlwaysKnown = "dpkg";
std::string policyQuery(const std::vector<std::string>& names);
std::string providersQuery(const std::vector<std::string>& names);  // apt-cache showpkg

// Readers of the queries' output (pure).
// True when the policy output has a package's block at all (kAlwaysKnown's, at least).
bool aptAnswered(std::string_view policyOutput);
void readArchitectures(std::string_view output, SystemPackages& system);
void readInstalled(std::string_view output, SystemPackages& system);
// Names (as the list spells them) whose policy block has a candidate.
std::set<std::string> namesWithCandidate(std::string_view policyOutput,
                                         std::string_view architecture);
// Names whose showpkg block lists at least one reverse provider.
std::set<std::string> namesProvided(std::string_view showpkgOutput, std::string_view architecture);

// How a package ends without an apt-get run (already installed, needs i386, not available),
// or nothing when it is to be installed.
std::optional<PackageState> stateWithoutInstall(const SystemPackages& system,
                                                std::string_view package);

// ---- What an installation would do, told before it runs (nothing is installed).

// A package of the list that changes the system beyond laying files (system_changes.def).
struct SystemChange {
    const char* package;
    const char* what;  // what it does once installed, in a few words
};
const std::vector<SystemChange>& systemChanges();

// What apt says of installing names together, without installing: apt-get --print-uris.
std::string aptEstimateCommand(const std::vector<std::string>& names);
struct AptEstimate {
    std::optional<std::size_t> newlyInstalled;  // with what they need ("N newly installed")
    std::size_t upgraded = 0;                   // installed packages apt upgrades with them
    std::size_t removed = 0;                    // installed packages apt removes for them
    std::vector<std::string> removedNames;      // "The following packages will be REMOVED:"
    std::string downloadSize;                   // "57.3 MB" ("Need to get"); empty: not said
    std::string diskSpace;                      // "212 MB" ("After this operation")
};
AptEstimate readAptEstimate(std::string_view output);

// The provisioning run told ahead: which names it would ask apt-get to install (in the order
// of the list, each once), which it would leave because they are there, which it could not
// install and why, the system changes among them, and whether it answers the font licence.
struct PackageOutlook {
    std::vector<std::string> toInstall;
    std::size_t alreadyInstalled = 0;
    std::vector<PackageResult> unavailable;  // NotAvailable or NeedsI386
    std::vector<SystemChange> changes;       // of toInstall
    bool acceptsFontLicence = false;
    AptEstimate estimate;
};

// Pure: the outlook for what the system has, the running kernel's release, and which
// terminal emulators' programs are present (indexed as terminalPackages()).
PackageOutlook outlookFor(const SystemPackages& system, std::string_view release,
                          const std::vector<bool>& terminalPresent);
// Asks the system (as the user, the same queries as the run) and apt for the estimate.
PackageOutlook lookAhead();

// Provisions the terminal emulators and the four groups (what PROCESSCHECK64 does) and says
// how each package ended.
ProvisionReport provisionSystemPackages();

}  // namespace provision

// The provisioning routine (the report of provision::provisionSystemPackages is dropped).
void PROCESSCHECK64();
