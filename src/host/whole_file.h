// Whole-file access for the installer's own small files: read a file into memory once (creating
// it empty when absent), write it back once, and keep secret files (password, pad) private.
#pragma once

#include <string>
#include <string_view>

enum class FileMode {
    Normal,   // a new file gets 0666 minus the umask; an existing file keeps its mode
    Private,  // the file is 0600 (owner read/write only) and never wider, not even for a moment
};

// Reads the whole file at path. A missing file is created empty (mode chosen by `mode`); an
// existing file is left as it is. A symbolic link at path is never followed: it is refused with
// the fatal error naming the file, as is a file that can be neither opened nor created.
std::string readWholeFile(const std::string& path, FileMode mode = FileMode::Normal);

// Replaces the content of the file at path by bytes, so that a kill or a full disk at any
// moment leaves either the old file whole or the new one: the bytes go to a new file made
// exclusively beside path (Normal: the old file's mode, or 0666 minus the umask for a new
// one; Private: 0600), are flushed to the disk, and the new file is renamed over path.
// A folder that lets only the existing file be written gets it rewritten in place instead.
// A symbolic link at path is refused; a failure (a full disk included) leaves the old file as
// it was and ends the program through fatalFileError, naming the file.
void writeWholeFile(const std::string& path, std::string_view bytes,
                    FileMode mode = FileMode::Normal);

// Makes sure the file at path exists and is private: a missing file is created empty with mode
// 0600; an existing file with any group or other permission is replaced by a 0600 copy of its
// content. Secret files that are written through the record writers (sudoPassword.txt) call
// this first: the writers then keep the file's 0600 mode.
void ensurePrivateFile(const std::string& path);

// True when path is a folder that the process may enter (what a change of directory needs).
bool canEnterFolder(const std::string& path);

// folder + "/" + name; name alone when it is absolute or folder is empty; no doubled slash.
std::string joinPath(std::string_view folder, std::string_view name);
