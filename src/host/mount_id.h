// Mount identity of folders: a bind mount of another folder of the same file system keeps the
// device number, so only the mount ID tells that a folder is where another mount begins.
#pragma once

#include <string>

// True when the mountinfo text (of /proc/self/mountinfo) names path as a mount point
// (fields unescaped).
bool mountinfoListsMountPoint(const std::string& mountinfo, const std::string& path);

// True when the folder open at fd (a folder entered from parentFd) lies on another mount than
// its parent: by mount ID, else by /proc/self/mountinfo, and always when the device differs.
bool isOtherMount(int parentFd, int fd);
