// Acting for a user from root: effective ids for the installer's own work, the real ones for
// the commands it starts.
#include "host/identity.h"

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>

namespace host {

namespace {

std::optional<ActingFor> gActing;

// Acting for the user: real and saved ids root's, the effective ones the user's.
bool becomeActing(const ActingFor& a) {
    return setgroups(a.groups.size(), a.groups.data()) == 0 && setresgid(0, a.gid, 0) == 0 &&
           setresuid(0, a.uid, 0) == 0;
}

}  // namespace

std::string actForUser(const std::string& name) {
    if (geteuid() != 0) return "only root can install for another user";
    struct passwd pw {};
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (getpwnam_r(name.c_str(), &pw, buf.data(), buf.size(), &found) != 0 || found == nullptr)
        return "no such user";
    if (pw.pw_uid == 0) return "is root: run it without --user";
    ActingFor a;
    a.name = name;
    a.uid = pw.pw_uid;
    a.gid = pw.pw_gid;
    a.home = pw.pw_dir;
    int count = 64;
    a.groups.resize(static_cast<std::size_t>(count));
    if (getgrouplist(name.c_str(), a.gid, a.groups.data(), &count) < 0) {
        a.groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(name.c_str(), a.gid, a.groups.data(), &count) < 0)
            return "cannot read the user's groups";
    }
    a.groups.resize(static_cast<std::size_t>(count));
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
