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

// Around the start of one command while acting for a user: the process is, for that moment,
// root for an elevated command or wholly the user for any other (the command's real, effective
// and saved ids are then the user's), and back to acting for the user when it ends. Nothing
// when not acting for anyone.
class SpawnIdentity {
public:
    explicit SpawnIdentity(bool asRoot);
    ~SpawnIdentity();
    SpawnIdentity(const SpawnIdentity&) = delete;
    SpawnIdentity& operator=(const SpawnIdentity&) = delete;
    bool ok() const { return ok_; }

private:
    bool active_ = false;
    bool ok_ = true;
};

}  // namespace host
