// File and folder helpers behind the file-system routines: folder tests, the path walk of
// the creation routines, the command lines they run, the link-safe folder emptying and the
// split of a recursive listing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/shared_state.h"

// The current folder's absolute path ("" when it cannot be told).
std::string currentFolder();
// Makes folder the current folder; false when it cannot be entered.
bool enterFolder(const std::string& folder);

// The prefixes of path that the creation walk tests, shortest first: one per component,
// each ending with that component ("/home/u/a" gives "/home", "/home/u", "/home/u/a").
// Empty components (a leading, doubled or trailing "/") add nothing.
std::vector<std::string> pathPrefixes(std::string_view path);

// Command lines of the creation and deletion routines (run elevated, sudo -kS in front).
// A folder that only root can make is made with its final mode and then given to the user;
// chown -h changes a link itself, so no elevated command ever acts through a link.
std::string rootMkdirCommand(std::string_view folder);  // mkdir -m 0755 -- ...
std::string rootChownCommand(std::string_view folder, unsigned uid,
                             unsigned gid);                    // chown -h uid:gid -- ...
std::string rootRemoveFileCommand(std::string_view filePath);  // rm -- "..."

// Mode of the folders the installer makes: the user's, readable by all, writable by the user
// alone.
inline constexpr unsigned kFolderMode = 0755;

// Makes folder (its parent must stand) with exactly mode, whatever the user's mask. 0 when it
// was made, else the errno (EEXIST when something stands there already). Every folder the
// installer makes as the user is made here.
int makeFolder(const std::string& folder, unsigned mode = kFolderMode);
// Makes every missing folder of path with makeFolder, shortest first. 0 when path stands as a
// folder afterwards, else the errno of the first folder that could not be made.
int makeFolderPath(const std::string& path, unsigned mode = kFolderMode);

// Makes every missing folder of path, shortest first, with mode kFolderMode: as the user where
// the user may, else through the elevated runner (then given to the user). Stops at the first
// folder that cannot be entered afterwards.
void createMissingFolders(const std::string& path);

// The folder temporary files go into: $TMPDIR when set, else /tmp.
std::string temporaryFolder();
// Makes a new private folder (mode 0700, this user's) in base (by default temporaryFolder()),
// named prefix and six random characters. Its path, or "" when it cannot be made (errno says
// why).
std::string makeTemporaryFolder(std::string_view prefix);
std::string makeTemporaryFolder(std::string_view prefix, const std::string& base);
// Sets the mode of a folder of the user's own (no link followed); false when it is not a
// folder or cannot be changed.
bool setOwnFolderMode(const std::string& folder, unsigned mode);

// The speech-recognition library files removed from every folder that is emptied, and the
// rm -f commands run there afterwards.
const std::vector<std::string>& libraryFileNames();
const std::vector<std::string>& libraryRemoveCommands();

// Whether anybody but root or user could replace or change file: the file and every folder
// above it (as written and as resolved) must belong to root or user and not be writable by
// group or others (a sticky folder counts as safe: others cannot rename what they do not
// own). True also when it cannot be told, or the file is not a regular file.
bool pathOthersCanChange(const std::string& file, unsigned user);

// Empties folder: every entry below it is removed; a symbolic link is removed as a link and
// never followed (also when folder ends with "/"), and no mount point below it is entered
// (told by mount ID, so bind mounts count), so nothing outside the folder is touched. The
// folder itself stays.
// runCommands runs the library rm -f commands in each folder emptied. Entries that cannot
// be removed are left (each is tried once per pass; the passes end when one removes
// nothing). Returns true when at least one folder was removed.
bool emptyFolder(const std::string& folder, bool runCommands = true);
// The same for a folder already open (read access) at fd, found by a walk that followed no link.
bool emptyOpenedFolder(int fd, bool runCommands);

// Appends the non-empty lines of find's output to list, in order, in one pass over the text;
// returns how many were appended.
std::size_t appendListingLines(std::string_view output, StringList& list);

// The file-system routines.
void CHECKIFPATHEXISTS();
void CHECKIFLOCALPATHEXISTS();
void CREATEALLDIRECTORIESNOTPRESENTINPATH();
void CREATEALLDIRECTORIESNOTPRESENTINPATH2();
void ERASEFILEIFITEXISTSINFILEPATH();
void ERASEFILEIFITEXISTSINFILEPATH2();
void DELETEFOLDER();
void DELETEDIRPATH5();
void ENUMERATERECURSIVEFILEANDFOLDERNAMESINCURRENTFOLDERINTOTEMPORARYDYNAMICARRAY();
