// Acting for a user from root: effective ids for the installer's own work, the real ones for
// the commands it starts.
#include "host/identity.h"

#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/shell_quote.h"

namespace host {

namespace {

// Whom the process acts for: the ids are the process's own (the kernel keeps them per process,
// whatever platform a test installs), so their record is one per process too.
std::optional<ActingFor> gActing;

// Acting for the user: real and saved ids root's, the effective ones the user's.
bool becomeActing(const ActingFor& a) {
    return setgroups(a.groups.size(), a.groups.data()) == 0 && setresgid(0, a.gid, 0) == 0 &&
           setresuid(0, a.uid, 0) == 0;
}

// What a command prints, or nothing when it fails (the user database is read through getent
// and id, which know every source the system names, as a static program cannot).
std::optional<std::string> outputOf(const std::string& command) {
    FILE* f = popen(command.c_str(), "re");
    if (f == nullptr) return std::nullopt;
    std::string out;
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    if (pclose(f) != 0) return std::nullopt;
    return out;
}

std::optional<unsigned long> number(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoul(text);
}

// The user's uid, gid and home from their passwd entry ("name:x:uid:gid:gecos:home:shell").
bool readPasswdEntry(const std::string& entry, ActingFor& a) {
    std::vector<std::string> fields(1);
    for (const char ch : entry) {
        if (ch == '\n') break;
        if (ch == ':') {
            fields.emplace_back();
        } else {
            fields.back() += ch;
        }
    }
    if (fields.size() < 7) return false;
    const auto uid = number(fields[2]);
    const auto gid = number(fields[3]);
    if (!uid || !gid || fields[5].empty()) return false;
    a.uid = static_cast<uid_t>(*uid);
    a.gid = static_cast<gid_t>(*gid);
    a.home = fields[5];
    return true;
}

}  // namespace

std::string actForUser(const std::string& name) {
    if (geteuid() != 0) return "only root can install for another user";
    ActingFor a;
    a.name = name;
    const auto entry = outputOf("getent passwd -- " + shellQuote(name));
    if (!entry || !readPasswdEntry(*entry, a)) return "no such user";
    if (a.uid == 0) return "is root: run it without --user";
    const auto groups = outputOf("id -G -- " + shellQuote(name));
    if (!groups) return "cannot read the user's groups";
    std::string word;
    for (const char ch : *groups + " ") {
        if (ch != ' ' && ch != '\n') {
            word += ch;
            continue;
        }
        if (const auto g = number(word)) a.groups.push_back(static_cast<gid_t>(*g));
        word.clear();
    }
    if (!becomeActing(a)) return "cannot take on the user's ids";
    setenv("HOME", a.home.c_str(), 1);
    setenv("USER", name.c_str(), 1);
    setenv("LOGNAME", name.c_str(), 1);
    // Root's session is not the user's: no desktop to mark launchers on for them.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_STATE_HOME");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
    gActing = std::move(a);
    return {};
}

const std::optional<ActingFor>& actingFor() { return gActing; }

void stopActing() {
    if (!gActing) return;
    const gid_t rootGroup = 0;
    if (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0 || setgroups(1, &rootGroup) != 0)
        std::abort();
    prctl(PR_SET_DUMPABLE, 1);
    gActing.reset();
}

ScopedIdentity::ScopedIdentity(bool asRoot) {
    if (!gActing) return;
    active_ = true;
    const ActingFor& a = *gActing;
    if (asRoot) {
        // Root again (the real id is root's), then root's groups.
        const gid_t rootGroup = 0;
        ok_ = setresuid(0, 0, 0) == 0 && setresgid(0, 0, 0) == 0 && setgroups(1, &rootGroup) == 0;
    } else {
        // Wholly the user: a command started now gets the user's ids as real, effective and
        // saved ones (execve copies the effective ids into the saved ones).
        ok_ = setresgid(a.gid, a.gid, 0) == 0 && setresuid(a.uid, a.uid, 0) == 0;
    }
}

ScopedIdentity::~ScopedIdentity() {
    if (!active_) return;
    // From root or from the user with root saved: back to acting for the user; a process that
    // cannot get there must not go on with root's rights or the user's.
    if (setresuid(0, 0, 0) != 0 || !becomeActing(*gActing)) std::abort();
}

}  // namespace host
