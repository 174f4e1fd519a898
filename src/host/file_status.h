// The one place that asks what stands at a path: its status, and the questions the installer
// asks of it.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "host/regular_file.h"

namespace host {

// The status of what stands at path: with Links::Follow that of a link's target, with
// Links::Refuse that of a link itself. Nothing when nothing stands there (or it cannot be
// examined).
std::optional<struct stat> statPath(const std::string& path, Links links = Links::Follow);

}  // namespace host

// Something stands at path (a link is followed: a dangling link is nothing).
bool pathExists(const std::string& path);
// An entry of that name exists (a link counts as itself, even when it points nowhere).
bool entryExists(const std::string& path);
// A folder of that name exists (a link to a folder counts).
bool isFolder(const std::string& path);
// A regular file of that name exists (a link to one counts).
bool isRegularFile(const std::string& path);
// True when path is a folder that the process may enter (what a change of directory needs).
bool canEnterFolder(const std::string& path);
// 0 when canEnterFolder(path), else the errno a change of directory into it would give.
int folderEntryError(const std::string& path);
