// Acting for another user from root (the commands' --user): the files the installer makes are
// that user's, the commands it runs are the user's, and only the elevated ones run as root.
// Root stays the real and saved user of the process, so that it can become root again for an
// elevated command; the user cannot trace or signal it meanwhile.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace host {

struct ActingFor {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::string home;
};

// Takes on the user's groups, gid and uid as the effective ones and HOME, USER and LOGNAME as
// theirs (root's own session bus and runtime folder are dropped). Returns why not ("no such
// user", "is root"), or "" once acting for them. Only root can.
std::string actForUser(const std::string& name);
const std::optional<ActingFor>& actingFor();
// Root again, wholly, once the work for the user is done (the end of the program may need to
// look at the process, as a leak checker does).
void stopActing();

// For a moment while acting for a user: the process is root (to start an elevated command, or
// to do what only root may see) or wholly the user (to start any other command: its real,
// effective and saved ids are then the user's), and back to acting for the user at the end of
// the scope. Nothing when not acting for anyone.
class ScopedIdentity {
public:
    explicit ScopedIdentity(bool asRoot);
    ~ScopedIdentity();
    ScopedIdentity(const ScopedIdentity&) = delete;
    ScopedIdentity& operator=(const ScopedIdentity&) = delete;
    bool ok() const { return ok_; }

private:
    bool active_ = false;
    bool ok_ = true;
};

}  // namespace host
