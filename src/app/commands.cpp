// The commands for scripts: their words, a platform with nobody at the terminal, and the three
// commands over the same steps, removal and scan as the menus.
#include "app/commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/run_setup.h"
#include "console/console.h"
#include "core/escape.h"
#include "core/screen.h"
#include "core/shared_state.h"
#include "core/text.h"
#include "host/file_ops.h"
#include "host/identity.h"
#include "host/os_detect.h"
#include "host/platform.h"
#include "host/shell.h"
#include "host/terminal.h"
#include "host/whole_file.h"
#include "install/installation_flow.h"
#include "install/plan_screen.h"
#include "install/removal.h"
#include "install/typed_path.h"
#include "net/downloads.h"
#include "privilege/privilege.h"
#include "provision/provisioning.h"
#include "storage/wallet_scan.h"

namespace {

constexpr const char* kProgram = "installWalletForLinux";

struct OptionOf {
    const char* name;
    bool Command::*flag;
    bool install, uninstall, scan;  // the commands that take it
};

const OptionOf kFlags[] = {
    {"--no-packages", &Command::noPackages, true, false, false},
    {"--all-users", &Command::allUsers, true, false, false},
    {"--keep-record", &Command::keepRecord, false, true, false},
    {"--json", &Command::json, false, false, true},
    {"--dry-run", &Command::dryRun, true, true, false},
    {"--quiet", &Command::quiet, true, true, true},
    {"--password-stdin", &Command::passwordStdin, true, true, false},
};

bool takes(const OptionOf& o, Verb v) {
    return v == Verb::Install ? o.install : v == Verb::Uninstall ? o.uninstall : o.scan;
}

const char* verbName(Verb v) {
    return v == Verb::Install ? "install" : v == Verb::Uninstall ? "uninstall" : "scan";
}

// "--path DIR" or "--path=DIR": the value, and whether the next word was taken for it.
bool valueOption(std::string_view word, std::string_view name,
                 const std::vector<std::string_view>& args, std::size_t& i, std::string& value,
                 std::string& error) {
    if (word == name) {
        if (i + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return true;
        }
        value = std::string(args[++i]);
        return true;
    }
    if (word.size() > name.size() && word.starts_with(name) && word[name.size()] == '=') {
        value = std::string(word.substr(name.size() + 1));
        return true;
    }
    return false;
}

}  // namespace

bool isCommandWord(std::string_view word) {
    return word == "install" || word == "uninstall" || word == "scan";
}

Command parseCommand(const std::vector<std::string_view>& args) {
    Command c;
    c.verb = args[0] == "install"     ? Verb::Install
             : args[0] == "uninstall" ? Verb::Uninstall
                                      : Verb::Scan;
    const std::string verb = verbName(c.verb);
    for (std::size_t i = 1; i < args.size() && c.error.empty(); ++i) {
        const std::string_view a = args[i];
        if (c.verb != Verb::Scan && valueOption(a, "--path", args, i, c.path, c.error)) continue;
        if (c.verb != Verb::Scan && valueOption(a, "--user", args, i, c.user, c.error)) continue;
        bool known = false;
        for (const OptionOf& o : kFlags) {
            if (a != o.name || !takes(o, c.verb)) continue;
            c.*o.flag = true;
            known = true;
        }
        if (!known) c.error = verb + ": unrecognised argument '" + std::string(a) + "'";
    }
    return c;
}

std::string stepLine(std::string_view mark, std::string_view text) {
    return std::string(mark) + " " + escapeControls(text, Escaping::Screen) + "\n";
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else if (c >= 0x80) {
            const std::size_t n = utf8SequenceLength(text, i);
            out += n > 0 ? std::string(text.substr(i, n)) : std::string("\\ufffd");
            i += n > 0 ? n : 1;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

namespace {

// Nobody sits at the terminal: screens go nowhere, a question is answered no at once, a pause
// ends at once, a prompt reads an empty line; commands, time and the system are the real ones.
class Headless : public Platform {
public:
    explicit Headless(Platform& real) : real_(real) {}
    int run(const std::string& commandLine, const CommandOptions& options) override {
        return real_.run(commandLine, options);
    }
    void write(std::string_view) override {}
    std::optional<CursorPos> queryCursor() override { return std::nullopt; }
    Key readKey(int timeoutMs) override {
        return timeoutMs == 0 ? Key{KeyKind::Timeout, ""} : Key{KeyKind::Char, "n"};
    }
    std::optional<TerminalSize> terminalSize() override {
        return TerminalSize{kScreenRows, static_cast<int>(kScreenColumns)};
    }
    std::string readLine(bool) override { return {}; }
    void sleepMs(int64_t ms) override { real_.sleepMs(ms); }
    LocalDateTime now() override { return real_.now(); }
    int64_t epochSeconds() override { return real_.epochSeconds(); }
    double random01() override { return real_.random01(); }
    bool systemPathExists(const std::string& path) override { return real_.systemPathExists(path); }

private:
    Platform& real_;
};

// Where the lines go: the step lines to the standard output the command was given, errors to
// its standard error; what the commands run writes goes to standard error (to /dev/null with
// --quiet), so that standard output holds the step lines alone.
class Output {
public:
    explicit Output(bool quiet) : quiet_(quiet) {
        out_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        err_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        const int sink = quiet ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
        dup2(sink >= 0 ? sink : err_, STDOUT_FILENO);
        if (sink >= 0) {
            dup2(sink, STDERR_FILENO);
            close(sink);
        }
    }
    void line(std::string_view mark, std::string_view text) {
        if (quiet_ && mark != "[FAIL]") return;
        (void)writeAll(out_, stepLine(mark, text));
    }
    void plain(std::string_view text) { (void)writeAll(out_, std::string(text) + "\n"); }
    void error(std::string_view text) {
        (void)writeAll(err_, std::string(kProgram) + ": " + std::string(text) + "\n");
    }

private:
    bool quiet_;
    int out_ = STDOUT_FILENO;
    int err_ = STDERR_FILENO;
};

std::string resultLineText(const install::StepResult& r) {
    std::string text = r.step;
    if (!r.object.empty()) text += ": " + r.object;
    if (!r.cause.empty()) text += " (" + r.cause + ")";
    return text;
}

const char* markOf(install::StepState s) {
    return s == install::StepState::Failed    ? "[FAIL]"
           : s == install::StepState::Skipped ? "[skip]"
                                              : "[ ok ]";
}

void reportStep(Output& out, const install::Step& step, const install::StepResult& r,
                const install::Installation& in, std::size_t firstItem) {
    if (!r.itemised) {
        out.line(markOf(r.state), resultLineText(r));
        return;
    }
    std::size_t failures = 0;
    for (std::size_t i = firstItem; i < in.results.size(); ++i) {
        const install::StepResult& item = in.results[i];
        failures += item.state == install::StepState::Failed ? 1 : 0;
        out.line(markOf(item.state), resultLineText(item));
    }
    out.line(
        failures > 0 ? "[FAIL]" : "[ ok ]",
        std::string(step.name) + (failures > 0 ? ": " + std::to_string(failures) + " failed" : ""));
}

// The commands the package step would run (the elevated runner's own lines), group by group.
void planPackageCommands(Output& out, const provision::PackageOutlook& o) {
    std::vector<std::string> pending = o.toInstall;
    auto take = [&](const std::vector<std::string>& names) {
        std::string line;
        for (const std::string& n : names) {
            const auto at = std::find(pending.begin(), pending.end(), n);
            if (at == pending.end()) continue;
            line += (line.empty() ? "" : " ") + shellQuote(n);
            pending.erase(at);
        }
        if (!line.empty())
            out.line("[plan]",
                     "command " + elevatedCommandLine(provision::aptInstallCommand(line)));
        return !line.empty();
    };
    out.line("[plan]", "command " + elevatedCommandLine(provision::kAptUpdateCommand));
    for (const provision::TerminalPackage& t : provision::terminalPackages()) take({t.package});
    const std::string release = std::string(trimEnd(S().OSKERNELVERSION, " \r\n"));
    for (const provision::PackageGroup& g : provision::packageGroups()) {
        std::vector<std::string> names;
        for (const std::string& p : g.packages)
            names.push_back(provision::withKernelRelease(p, release));
        const bool fonts = g.debconfBefore && o.acceptsFontLicence;
        if (fonts)
            out.line("[plan]", "command " + elevatedCommandLine(provision::debconfCommand()));
        if (take(names) && fonts)
            out.line("[plan]",
                     "command " + elevatedCommandLine(provision::kFontReconfigureCommand));
    }
    for (const auto& u : o.unavailable)
        out.line("[skip]",
                 "system package: " + u.name + " (" + provision::packageStateText(u) + ")");
}

int dryRunInstall(const Command& c, const std::string& ip, Output& out) {
    const SharedState& s = S();
    const install::VariantPlan plan = install::planFor(install::Variant::A, ip);
    const install::InstallPlan p = install::installPlanFor(plan, s.CURRENTUSERHOMEPATH);
    for (const std::string& f : p.folders) out.line("[plan]", "folder " + f);
    const std::string remote = net::archiveServerRemotePath();
    out.line("[plan]", "download " + remote.substr(remote.rfind(' ') + 1) + " into " +
                           plan.downloadFolder + " (wget)");
    for (const std::string& f : p.files) out.line("[plan]", "file " + f);
    for (const std::string& l : p.launchers) out.line("[plan]", "launcher " + l);
    for (const std::string& deb : p.debs)
        out.line("[plan]", "command " + elevatedCommandLine("dpkg -i -- " + shellQuote(deb)));
    if (c.allUsers)
        out.line("[plan]", "launcher " + std::string(launchers::kAllUsersMenuFolder) + "/" +
                               launchers::kAllUsersLauncherName + " (as root)");
    if (!c.noPackages) planPackageCommands(out, provision::lookAhead());
    return 0;
}

int runInstall(const Command& c, const std::string& ip, Output& out) {
    S().APPLICATIONTEXTWALLETINSTALLATIONPATH = ip;
    if (c.dryRun) return dryRunInstall(c, ip, out);
    // Every installation hands packages to root: without root's rights nothing is begun.
    if (elevation() == Elevation::SudoWithoutPassword &&
        runShellCommand("sudo -n true 2>/dev/null", CommandOptions{}) != 0) {
        out.error(
            "root rights are needed and sudo asks for a password: give it with "
            "--password-stdin (or run as root with --user NAME)");
        return 1;
    }
    install::RunChoices choices;
    choices.systemPackages = !c.noPackages;
    choices.allUsers = c.allUsers;
    choices.observer = [&out](const install::Step& step, const install::StepResult& r,
                              const install::Installation& in,
                              std::size_t firstItem) { reportStep(out, step, r, in, firstItem); };
    const install::InstallationRun run =
        install::runAutomaticInstallation(install::Variant::A, {}, choices);
    for (const std::string& note : run.installation.notes) out.line("[note]", note);
    return run.outcome == install::Outcome::Completed ? 0 : 1;
}

int runUninstall(const Command& c, const std::string& ip, Output& out) {
    const removal::Report r =
        removal::removeInstallation(ip, S().CURRENTOSACCOUNTUSERHOMEPATH, c.keepRecord, c.dryRun);
    for (const removal::Entry& e : r.going) {
        bool kept = false;
        for (const removal::Kept& k : r.kept) kept = kept || k.path == e.path;
        if (!kept)
            out.line(c.dryRun ? "[plan]" : "[ ok ]", (c.dryRun ? "remove " : "removed ") + e.path);
    }
    for (const removal::Kept& k : r.kept) out.line("[skip]", "kept " + k.path + " (" + k.why + ")");
    if (r.stopped.empty()) return 0;
    out.line("[FAIL]", r.stopped);
    return 1;
}

void printScanJson(Output& out, const std::vector<std::string>& wallets) {
    const SharedState& s = S();
    std::string j = "{\n  \"partitions\": [";
    const std::size_t parts = std::min<std::size_t>(
        s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVEMOUNTEDPARTITIONSDETECTED, kPartitionSlots);
    for (std::size_t i = 1; i <= parts; ++i) {
        j += std::string(i > 1 ? "," : "") + "\n    {\"name\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONNAME[i].str()) +
             ", \"drive\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONDRIVENAME[i].str()) +
             ", \"device\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONSYSTEMPATH[i].str()) +
             ", \"mount\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMOUNTPATH[i].str()) +
             ", \"megabytes\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONMBSIZE[i].str()) +
             ", \"used_percent\": " +
             jsonString(s.DIRECTACCESSSCSIDRIVEARRAYMOUNTEDPARTITIONPERCENTAGEUSAGE[i].str()) + "}";
    }
    j += parts > 0 ? "\n  ],\n  \"drives\": [" : "],\n  \"drives\": [";
    const auto drives = static_cast<std::size_t>(
        std::max<int64_t>(0, std::min<int64_t>(s.STORAGENUMBEROFDIRECTACCESSSCSIDRIVESDETECTED,
                                               static_cast<int64_t>(kDriveSlots))));
    for (std::size_t i = 1; i <= drives; ++i) {
        j += std::string(i > 1 ? "," : "") +
             "\n    {\"name\": " + jsonString(s.DIRECTACCESSSCSIDRIVEARRAYDRIVENAME[i].str()) +
             ", \"serial\": " + jsonString(s.DIRECTACCESSSCSIDRIVEARRAYDRIVESERIALNUMBER[i].str()) +
             ", \"size\": " + jsonString(s.DIRECTACCESSSCSIDRIVEARRAYDRIVETOTALSPACE[i].str()) +
             ", \"bus\": " + jsonString(s.DIRECTACCESSSCSIDRIVEARRAYDRIVEBUSTYPE[i].str()) + "}";
    }
    j += drives > 0 ? "\n  ],\n  \"wallets\": [" : "],\n  \"wallets\": [";
    for (std::size_t i = 0; i < wallets.size(); ++i)
        j += std::string(i > 0 ? "," : "") + "\n    " + jsonString(wallets[i]);
    j += wallets.empty() ? "]\n}" : "\n  ]\n}";
    out.plain(j);
}

int runScan(const Command& c, Output& out) {
    const std::vector<std::string> wallets = storage::surveyAndFindWallets();
    if (c.json) {
        printScanJson(out, wallets);
        return 0;
    }
    for (const std::string& w : wallets) out.plain(escapeControls(w, Escaping::Screen));
    return 0;
}

// One line of standard input: the password for sudo (never stored).
bool readPasswordLine(std::string& password) {
    password.clear();
    char ch = 0;
    while (true) {
        const ssize_t n = read(STDIN_FILENO, &ch, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || ch == '\n') break;
        password += ch;
        if (password.size() > 4096) return false;
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return !password.empty();
}

// Root's rights for the command: the password read from standard input, sudo -n, or root's
// own; nothing the commands run reads the standard input the command was given.
int chooseElevation(const Command& c, Output& out) {
    if (c.passwordStdin) {
        std::string password;
        if (!readPasswordLine(password)) {
            out.error("--password-stdin: no password on standard input");
            return 2;
        }
        setElevation(Elevation::Password);
        S().SUDOPASSWORD = password;
    } else {
        // Root, or root acting for the user named (whose ids are the effective ones now).
        const bool root = geteuid() == 0 || host::actingFor().has_value();
        setElevation(root ? Elevation::AlreadyRoot : Elevation::SudoWithoutPassword);
    }
    const int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devnull >= 0) {
        dup2(devnull, STDIN_FILENO);
        close(devnull);
    }
    return 0;
}

// The command once its identity is taken: its files' folder, root's rights, the path.
int runPrepared(const Command& c, const char* argv0, Output& out) {
    const std::string startFolder = currentFolder();
    std::string why;
    if (!prepareToRun(argv0, startFolder, why)) {
        out.error(why);
        return 1;
    }
    if (const int status = chooseElevation(c, out); status != 0) return status;
    GETOSTYPE();
    std::string ip = S().CURRENTUSERHOMEPATH;
    if (!c.path.empty()) {
        const install::TypedPath taken = install::checkedPath(c.path, startFolder);
        if (!taken.path) {
            out.error("--path " + c.path + ": " + taken.refusal);
            return 2;
        }
        ip = *taken.path;
    }
    switch (c.verb) {
        case Verb::Install:
            return runInstall(c, ip, out);
        case Verb::Uninstall:
            return runUninstall(c, ip, out);
        case Verb::Scan:
            break;
    }
    return runScan(c, out);
}

}  // namespace

int runCommandLine(const Command& c, const char* argv0) {
    // Whichever way the command ends, nothing it started goes on running.
    terminal::installEndings();
    Output out(c.quiet);
    if (!c.error.empty()) {
        out.error(c.error);
        out.error(std::string("see ") + kProgram + " --help");
        return 2;
    }
    const bool root = geteuid() == 0;
    if (!c.user.empty() && !root) {
        out.error("--user is for root: run as an ordinary user, it installs for that user");
        return 2;
    }
    // Started through sudo or pkexec without naming the user: it would work as root on the
    // files of the user who asked.
    if (c.user.empty() && c.verb != Verb::Scan) {
        if (const std::string line =
                startedElevatedLine(geteuid(), std::getenv("SUDO_UID"), std::getenv("PKEXEC_UID"));
            !line.empty()) {
            out.error("run it as the user who will use the wallet, or name them with --user");
            return 2;
        }
    }
    if (!c.user.empty()) {
        if (const std::string why = host::actForUser(c.user); !why.empty()) {
            out.error("--user " + c.user + ": " + why);
            return 2;
        }
    }
    Headless headless(realPlatform());
    setPlatform(&headless);
    const int status = runPrepared(c, argv0, out);
    setPlatform(nullptr);
    host::stopActing();
    return status;
}
