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
// existing file is left as it is. A file that can be neither opened nor created ends the
// program through fatalFileError.
std::string readWholeFile(const std::string& path, FileMode mode = FileMode::Normal);

// Replaces the content of the file at path by bytes.
// Normal: the file is rewritten in place, so an existing file keeps its mode (a private file
// stays private).
// Private: the bytes go to a new file created 0600 in the same folder, which is then renamed
// over path; an existing wider file is thereby replaced.
// Ends the program through fatalFileError when the file can be neither opened nor created.
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
