// PROCESSCHECK64: refreshes apt's package lists, asks dpkg and apt once what is installed and
// what can be, then installs the missing terminal emulators and the wallet's system packages
// that are missing and available, a group in one elevated apt-get run (one per package when
// that fails), output on the terminal.
#include "provision/provisioning.h"

#include <algorithm>

#include "console/console.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/platform.h"
#include "host/run_log.h"
#include "host/shell.h"
#include "host/shell_capture.h"

namespace provision {

const std::vector<TerminalPackage>& terminalPackages() {
    static const std::vector<TerminalPackage> kList = {
        {"/usr/bin/xterm", "xterm"},
        {"/usr/bin/gnome-terminal", "gnome-terminal"},
        {"/usr/bin/xfce4-terminal", "xfce4-terminal"},
    };
    return kList;
}

const std::vector<PackageGroup>& packageGroups() {
#define PACKAGES_32BIT(...) static const std::vector<std::string> k32bit = {__VA_ARGS__};
#define PACKAGES_64BIT(...) static const std::vector<std::string> k64bit = {__VA_ARGS__};
#define PACKAGES_FONTS(...) static const std::vector<std::string> kFonts = {__VA_ARGS__};
#define PACKAGES_PROGRAMS(...) static const std::vector<std::string> kPrograms = {__VA_ARGS__};
#include "provision/package_list.def"
#undef PACKAGES_32BIT
#undef PACKAGES_64BIT
#undef PACKAGES_FONTS
#undef PACKAGES_PROGRAMS
    static const std::vector<PackageGroup> kGroups = {
        {" INSTALLING 32BIT LIBRARIES - PLEASE WAIT", true, false, true, false, k32bit},
        {" INSTALLING 64BIT LIBRARIES - PLEASE WAIT", false, true, true, false, k64bit},
        {nullptr, false, false, false, true, kFonts},
        {"INSTALLING PROGRAMS - PLEASE WAIT", false, true, true, false, kPrograms},
    };
    return kGroups;
}

std::string withKernelRelease(std::string_view package, std::string_view release) {
    std::string out(package);
    const std::size_t at = out.find(kKernelRelease);
    if (at != std::string::npos && !release.empty())
        out.replace(at, std::string_view(kKernelRelease).size(), release);
    return out;
}

std::string aptInstallCommand(std::string_view package) {
    return "apt-get -y install " + std::string(package);
}

std::string aptSimulateCommand(std::string_view packages) {
    return "apt-get -s install " + std::string(packages) + " >/dev/null 2>&1";
}

std::string allPackagesCountText(std::size_t count) {
    return "  packages 1 to " + std::to_string(count) + " of " + std::to_string(count);
}

std::string debconfCommand() {
    return "sh -c " +
           shellQuote(std::string("echo ") + kDebconfSelection + " | debconf-set-selections");
}

std::string packageCountText(std::size_t number, std::size_t count) {
    return "  package " + std::to_string(number) + " of " + std::to_string(count);
}

std::string packageStateText(const PackageResult& result) {
    switch (result.state) {
        case PackageState::Installed:
            return "installed";
        case PackageState::AlreadyInstalled:
            return "already installed";
        case PackageState::NotAvailable:
            return "not available on this system";
        case PackageState::NeedsI386:
            return std::string("needs the i386 architecture (") + kEnableI386Command + ")";
        case PackageState::Failed:
            break;
    }
    return "failed (exit status " + std::to_string(result.exitStatus) + ")";
}

// ---- What the system has

namespace {

std::string joinedNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += " " + shellQuote(n);
    return out;
}

// "name:arch" as the list spells it: the native architecture and "all" leave the bare name.
void addKey(std::set<std::string>& keys, std::string_view name, std::string_view arch,
            std::string_view native) {
    if (name.empty()) return;
    if (!arch.empty()) keys.insert(std::string(name) + ":" + std::string(arch));
    if (arch.empty() || arch == "all" || native.empty() || arch == native)
        keys.insert(std::string(name));
}

// "libc6:i386" -> ("libc6", "i386"); "bash" -> ("bash", "").
std::pair<std::string_view, std::string_view> splitArch(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return {name, {}};
    return {name.substr(0, colon), name.substr(colon + 1)};
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) break;
        std::size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        at = end;
    }
    return out;
}

}  // namespace

std::string architecturesQuery() {
    return "{ dpkg --print-architecture && dpkg --print-foreign-architectures; }";
}

std::string installedQuery() {
    return "dpkg-query -W -f='${Package} ${Architecture} ${Status}|${Provides}\\n'";
}

std::string policyQuery(const std::vector<std::string>& names) {
    // apt-cache policy says nothing of a name it does not know, and exits 0 all the same;
    // dpkg it always knows where it works at all, so dpkg's block tells that apt answered.
    return std::string("apt-cache policy ") + kAlwaysKnown + joinedNames(names);
}

bool aptAnswered(std::string_view policyOutput) {
    bool answered = false;
    forEachLine(policyOutput, [&](std::string_view line) {
        if (line.size() > 1 && line[0] != ' ' && line.back() == ':') answered = true;
    });
    return answered;
}

std::string providersQuery(const std::vector<std::string>& names) {
    // showpkg names every package it cannot find on stderr: nobody needs to read that.
    return "apt-cache showpkg" + joinedNames(names) + " 2>/dev/null";
}

void readArchitectures(std::string_view output, SystemPackages& system) {
    bool first = true;
    forEachLine(output, [&](std::string_view line) {
        const std::string_view arch = trim(line, " \t\r");
        if (arch.empty()) return;
        if (first) {
            system.architecture = std::string(arch);
            first = false;
        } else {
            system.foreignArchitectures.insert(std::string(arch));
        }
    });
}

void readInstalled(std::string_view output, SystemPackages& system) {
    forEachLine(output, [&](std::string_view line) {
        const std::size_t bar = line.find('|');
        const auto fields = words(line.substr(0, bar));
        // Package, architecture, then the status words: "install ok installed".
        if (fields.size() < 3 || fields.back() != "installed") return;
        const std::string_view arch = fields[1];
        addKey(system.installed, fields[0], arch, system.architecture);
        if (bar == std::string_view::npos) return;
        // Provides: "libasound-dev (= 1.2.8-1+b1), foo".
        std::string_view provides = line.substr(bar + 1);
        forEachLine(
            provides,
            [&](std::string_view item) {
                const auto parts = words(item);
                if (!parts.empty()) addKey(system.installed, parts[0], arch, system.architecture);
            },
            ',');
    });
}

std::set<std::string> namesWithCandidate(std::string_view policyOutput,
                                         std::string_view architecture) {
    std::set<std::string> out;
    std::string_view block;
    forEachLine(policyOutput, [&](std::string_view line) {
        if (!line.empty() && line[0] != ' ' && line.back() == ':') {
            block = line.substr(0, line.size() - 1);
            return;
        }
        const std::string_view t = trim(line);
        constexpr std::string_view kCandidate = "Candidate: ";
        if (block.empty() || !t.starts_with(kCandidate)) return;
        if (trim(t.substr(kCandidate.size())) == "(none)") return;
        const auto [name, arch] = splitArch(block);
        addKey(out, name, arch, architecture);
    });
    return out;
}

std::set<std::string> namesProvided(std::string_view showpkgOutput, std::string_view architecture) {
    std::set<std::string> out;
    std::string_view block;
    bool inProviders = false;
    forEachLine(showpkgOutput, [&](std::string_view line) {
        constexpr std::string_view kPackage = "Package: ";
        if (line.starts_with(kPackage)) {
            block = trim(line.substr(kPackage.size()));
            inProviders = false;
        } else if (line.starts_with("Reverse Provides:")) {
            inProviders = true;
        } else if (inProviders && !trim(line).empty() && !block.empty()) {
            const auto [name, arch] = splitArch(block);
            addKey(out, name, arch, architecture);
        }
    });
    return out;
}

std::optional<PackageState> stateWithoutInstall(const SystemPackages& system,
                                                std::string_view package) {
    const std::string name(package);
    if (system.installed.count(name)) return PackageState::AlreadyInstalled;
    const auto [bare, arch] = splitArch(package);
    // (A dpkg that did not say its own architecture rules nothing out either.)
    if (arch == "i386" && !system.architecture.empty() && system.architecture != "i386" &&
        !system.foreignArchitectures.count("i386")) {
        return PackageState::NeedsI386;
    }
    if (system.availabilityKnown && !system.available.count(name))
        return PackageState::NotAvailable;
    return std::nullopt;
}

namespace {

// Asks dpkg and apt, once, about every name the run may install.
SystemPackages askSystem(const std::vector<std::string>& names) {
    SystemPackages system;
    readArchitectures(captureThroughScratchFile(architecturesQuery()), system);
    readInstalled(captureThroughScratchFile(installedQuery()), system);
    std::vector<std::string> unknown;
    std::set<std::string> asked;
    for (const std::string& n : names) {
        if (!stateWithoutInstall(system, n) && asked.insert(n).second) unknown.push_back(n);
    }
    if (unknown.empty()) return system;
    const std::string& policy = captureThroughScratchFile(policyQuery(unknown));
    // An apt that did not answer rules nothing out: every package is attempted.
    system.availabilityKnown = aptAnswered(policy);
    system.available = namesWithCandidate(policy, system.architecture);
    std::vector<std::string> noCandidate;
    for (const std::string& n : unknown) {
        if (!system.available.count(n)) noCandidate.push_back(n);
    }
    // A virtual package (libasound-dev) has no candidate of its own; apt installs its provider.
    if (system.availabilityKnown && !noCandidate.empty()) {
        const auto provided = namesProvided(captureThroughScratchFile(providersQuery(noCandidate)),
                                            system.architecture);
        system.available.insert(provided.begin(), provided.end());
    }
    return system;
}

// Every name the run may install: the terminal emulators', then the groups'.
std::vector<std::string> namesOfTheRun(const std::string& release) {
    std::vector<std::string> names;
    for (const TerminalPackage& t : terminalPackages()) names.emplace_back(t.package);
    for (const PackageGroup& g : packageGroups()) {
        for (const std::string& p : g.packages) names.push_back(withKernelRelease(p, release));
    }
    return names;
}

// The running kernel's release, as start-up found it (its capture keeps the line feed).
std::string kernelRelease() {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::string_view known = trim(S().OSKERNELVERSION, kBlanks);
    if (!known.empty()) return std::string(known);
    return std::string(trim(captureThroughScratchFile("uname -r"), kBlanks));
}

// Keeps "package N of M" beside the group heading. While the heading is still where it was
// printed, the count is written in place; once the commands' output may have scrolled it away
// (the cursor reached the last row), the heading is printed again with the count below that
// output.
class GroupProgress {
public:
    GroupProgress(const PackageGroup& group, std::size_t count) : group_(group), count_(count) {
        if (!group_.heading) return;
        const int row = cursorRow();
        console::printLine(group_.heading);
        // A heading printed on the last row moved up by one as the line ended.
        row_ = row >= screenRows() ? screenRows() - 1 : row;
    }

    void before(std::size_t number) { show(packageCountText(number, count_)); }
    void beforeAll() { show(allPackagesCountText(count_)); }

private:
    void show(const std::string& count) {
        if (!group_.heading) return;
        const int row = cursorRow();
        if (row_ > 0 && row < screenRows()) {
            console::drawAside(row_, static_cast<int>(std::string_view(group_.heading).size()) + 1,
                               count);
            return;
        }
        row_ = row >= screenRows() ? screenRows() - 1 : row;
        console::printLine(std::string(group_.heading) + count);
    }

    static int screenRows() {
        const auto size = platform().terminalSize();
        return size && size->rows > 0 ? size->rows : kScreenRows;
    }
    static int cursorRow() {
        SAVECONSOLEWINDOWCURSORPOSITION();
        return static_cast<int>(S().SAVEDCONSOLEWINDOWCURSORPOSITIONX);
    }

    const PackageGroup& group_;
    std::size_t count_;
    int row_ = 0;
};

// One run's report as it fills: each package gets its entry once, in the order of the list.
class Run {
public:
    bool seen(const std::string& name) const { return seen_.count(name) != 0; }

    // A new entry for name (state not known yet); returns its index.
    std::size_t add(const std::string& name) {
        seen_.insert(name);
        report.packages.push_back({name, PackageState::Installed, 0});
        return report.packages.size() - 1;
    }

    void end(std::size_t index, PackageState state, int exitStatus = 0) {
        PackageResult& r = report.packages[index];
        r.state = state;
        r.exitStatus = state == PackageState::Failed ? exitStatus : 0;
        runlog::recordStatus("package " + r.name + ": " + packageStateText(r));
    }

    // Runs an elevated command that is not a package's own; a failure goes in the report.
    void command(const std::string& commandLine) {
        const int status = runElevated(commandLine);
        if (status != 0) report.failedCommands.push_back({commandLine, status});
    }

    // apt-get -y install of one package; true when it installed.
    bool install(std::size_t index) {
        const int status = runElevated(aptInstallCommand(report.packages[index].name));
        end(index, status == 0 ? PackageState::Installed : PackageState::Failed, status);
        return status == 0;
    }

    // One apt-get -y install run for all of them once apt-get -s resolved them; true when it
    // installed them all (nothing is reported otherwise: each is then installed on its own).
    bool installAll(const std::vector<std::size_t>& indexes) {
        std::string names;
        for (const std::size_t i : indexes)
            names += (names.empty() ? "" : " ") + shellQuote(report.packages[i].name);
        if (runCommand(aptSimulateCommand(names), /*cLocale=*/true) != 0) return false;
        if (runElevated(aptInstallCommand(names)) != 0) return false;
        for (const std::size_t i : indexes) end(i, PackageState::Installed);
        return true;
    }

    ProvisionReport report;

private:
    std::set<std::string> seen_;
};

}  // namespace

}  // namespace provision

void PROCESSCHECK64() { (void)provision::provisionSystemPackages(); }

namespace provision {

namespace {

// The missing terminal emulators, each on its own; the last one installed becomes the one the
// launchers use.
void installTerminals(Run& run, const SystemPackages& system) {
    SharedState& s = S();
    for (const TerminalPackage& t : terminalPackages()) {
        if (platform().systemPathExists(t.executable) || run.seen(t.package)) continue;
        const std::size_t index = run.add(t.package);
        const auto state = stateWithoutInstall(system, t.package);
        // Installed by dpkg's word but its program is gone: installing it again is the check's
        // whole point.
        if (state && state != PackageState::AlreadyInstalled) {
            run.end(index, *state);
            continue;
        }
        if (!run.install(index)) continue;
        s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME = t.package;
        s.DEFAULTTERMINALEMULATOREXECUTABLEFILENAME = s.CURRENTTERMINALEMULATOREXECUTABLEFILENAME;
    }
    console::invalidateCursor();
}

// The group's names that are to be installed (each reported once, where the list names it
// first; those that need no run are reported at once).
std::vector<std::size_t> groupToInstall(Run& run, const PackageGroup& g,
                                        const SystemPackages& system, const std::string& release) {
    std::vector<std::size_t> toInstall;
    for (const std::string& entry : g.packages) {
        const std::string name = withKernelRelease(entry, release);
        if (run.seen(name)) continue;
        const std::size_t index = run.add(name);
        if (const auto state = stateWithoutInstall(system, name)) {
            run.end(index, *state);
        } else {
            toInstall.push_back(index);
        }
    }
    return toInstall;
}

void installGroup(Run& run, const PackageGroup& g, const std::vector<std::size_t>& toInstall) {
    if (g.clearBefore) console::clearScreen();
    if (g.blankLineBefore) console::printLine(" ");
    GroupProgress progress(g, toInstall.size());
    if (g.pauseAfterHeading) console::pauseOrKey(kHeadingPauseMs);
    if (g.debconfBefore) run.command(debconfCommand());
    // The group in one run (one dependency resolution, one dpkg run: several times faster
    // than a run per package); when that fails, one run per package, so one broken package
    // never blocks the rest.
    bool allInstalled = false;
    if (toInstall.size() > 1) {
        progress.beforeAll();
        allInstalled = run.installAll(toInstall);
    }
    for (std::size_t i = 0; i < toInstall.size(); ++i) {
        bool installed = allInstalled;
        if (!allInstalled) {
            progress.before(i + 1);
            installed = run.install(toInstall[i]);
        }
        if (installed && g.debconfBefore) run.command(kFontReconfigureCommand);
    }
    console::invalidateCursor();
}

}  // namespace

ProvisionReport provisionSystemPackages() {
    if (!canElevate()) {
        console::clearScreen();
        S().SUDOPASSWORD = console::promptSecret("ENTER YOUR SUDO PASSWORD TO CONTINUE ");
    }
    console::clearScreen();
    // The spinner turns while each command runs.
    ScopedCommandTicker spinner(console::spinWhileCommandRuns);
    Run run;
    // Fresh package lists first: with old ones every download can fail.
    run.command(kAptUpdateCommand);

    const std::string release = kernelRelease();
    const SystemPackages system = askSystem(namesOfTheRun(release));
    installTerminals(run, system);
    for (const PackageGroup& g : packageGroups()) {
        const std::vector<std::size_t> toInstall = groupToInstall(run, g, system, release);
        // Nothing to install: no heading that says something installs, no pause to read it.
        if (!toInstall.empty()) installGroup(run, g, toInstall);
    }
    return run.report;
}

}  // namespace provision

namespace provision {

const std::vector<SystemChange>& systemChanges() {
#define SYSTEM_CHANGE(package, what) {package, what},
    static const std::vector<SystemChange> kChanges = {
#include "provision/system_changes.def"
    };
#undef SYSTEM_CHANGE
    return kChanges;
}

std::string aptEstimateCommand(const std::vector<std::string>& names) {
    // --print-uris resolves and sizes the download as the user, without the lock; what it
    // says on stderr (a package it cannot find) is not for the screen.
    return "apt-get -y --print-uris install" + joinedNames(names) + " 2>/dev/null";
}

namespace {

// The text between a line's opening and its closing words, blanks trimmed.
std::string_view between(std::string_view line, std::string_view open, std::string_view close) {
    if (!line.starts_with(open)) return {};
    const std::string_view rest = line.substr(open.size());
    const std::size_t end = rest.find(close);
    return end == std::string_view::npos ? std::string_view() : trim(rest.substr(0, end));
}

// apt's count line: "26 upgraded, 685 newly installed, 1 to remove and 102 not upgraded."
void readCounts(std::string_view line, AptEstimate& e) {
    if (line.find(" newly installed") == std::string_view::npos) return;
    std::string text(trimEnd(line, "."));
    for (std::size_t at; (at = text.find(" and ")) != std::string::npos;) text.replace(at, 5, ", ");
    forEachLine(
        text,
        [&](std::string_view piece) {
            piece = trim(piece);
            const std::size_t space = piece.find(' ');
            const std::string_view number = piece.substr(0, space);
            if (space == std::string_view::npos || number.empty() ||
                number.find_first_not_of("0123456789") != std::string_view::npos)
                return;
            const auto n = static_cast<std::size_t>(std::stoull(std::string(number)));
            const std::string_view what = piece.substr(space + 1);
            if (what == "newly installed") e.newlyInstalled = n;
            if (what == "upgraded") e.upgraded = n;
            if (what == "to remove") e.removed = n;
        },
        ',');
}

}  // namespace

AptEstimate readAptEstimate(std::string_view output) {
    AptEstimate e;
    bool inRemoved = false;
    forEachLine(output, [&](std::string_view raw) {
        const std::string_view line = trim(raw, " \t\r");
        // The names under "The following packages will be REMOVED:", indented.
        if (inRemoved && raw.starts_with(" ")) {
            for (std::string_view rest = line; !rest.empty();) {
                const std::size_t space = rest.find(' ');
                e.removedNames.emplace_back(rest.substr(0, space));
                rest = space == std::string_view::npos ? std::string_view()
                                                       : trimStart(rest.substr(space));
            }
            return;
        }
        inRemoved = line == "The following packages will be REMOVED:";
        // "Need to get 0 B/30.9 kB of archives.": what is not in apt's cache yet, first.
        if (const auto size = between(line, "Need to get ", " of archives"); !size.empty())
            e.downloadSize = std::string(trim(size.substr(0, size.find('/'))));
        if (const auto disk = between(line, "After this operation, ", " of additional");
            !disk.empty())
            e.diskSpace = std::string(disk);
        readCounts(line, e);
    });
    return e;
}

namespace {

// The entries of the short list of system changes that name a package of names.
std::vector<SystemChange> changesAmong(const std::vector<std::string>& names) {
    std::vector<SystemChange> out;
    for (const SystemChange& c : systemChanges()) {
        if (std::find(names.begin(), names.end(), c.package) != names.end()) out.push_back(c);
    }
    return out;
}

}  // namespace

PackageOutlook outlookFor(const SystemPackages& system, std::string_view release,
                          const std::vector<bool>& terminalPresent) {
    PackageOutlook out;
    std::set<std::string> seen;
    auto take = [&](const std::string& name, bool reinstallWhenThere) {
        if (!seen.insert(name).second) return;
        const auto state = stateWithoutInstall(system, name);
        if (!state || (reinstallWhenThere && state == PackageState::AlreadyInstalled)) {
            out.toInstall.push_back(name);
        } else if (state == PackageState::AlreadyInstalled) {
            ++out.alreadyInstalled;
        } else {
            out.unavailable.push_back({name, *state, 0});
        }
    };
    const auto& terminals = terminalPackages();
    for (std::size_t i = 0; i < terminals.size(); ++i) {
        // A terminal emulator whose program is gone is installed again, as the run does.
        if (i < terminalPresent.size() && terminalPresent[i]) continue;
        take(terminals[i].package, /*reinstallWhenThere=*/true);
    }
    for (const PackageGroup& g : packageGroups()) {
        const std::size_t before = out.toInstall.size();
        for (const std::string& entry : g.packages) take(withKernelRelease(entry, release), false);
        if (g.debconfBefore && out.toInstall.size() > before) out.acceptsFontLicence = true;
    }
    out.changes = changesAmong(out.toInstall);
    return out;
}

PackageOutlook lookAhead() {
    const std::string release = kernelRelease();
    std::vector<bool> present;
    for (const TerminalPackage& t : terminalPackages())
        present.push_back(platform().systemPathExists(t.executable));
    PackageOutlook out = outlookFor(askSystem(namesOfTheRun(release)), release, present);
    if (!out.toInstall.empty())
        out.estimate =
            readAptEstimate(captureThroughScratchFile(aptEstimateCommand(out.toInstall)));
    return out;
}

}  // namespace provision
