// Whole-file access for the installer's own small files: read a file into memory once (creating
// it empty when absent), write it back once, and keep secret files (password, pad) private.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/path.h"  // joinPath, for the readers and writers given a folder and a name

enum class FileMode {
    Normal,   // a new file gets 0666 minus the umask; an existing file keeps its mode
    Private,  // the file is 0600 (owner read/write only) and never wider, not even for a moment
};

// Reads the whole file at path. A missing file is created empty (mode chosen by `mode`); an
// existing file is left as it is. A symbolic link at path is never followed: it is refused with
// the fatal error naming the file, as is anything but a regular file (a FIFO is never waited
// on) and a file that can be neither opened nor created.
std::string readWholeFile(const std::string& path, FileMode mode = FileMode::Normal);

// Writes all of bytes to the open descriptor fd (a short write goes on where it stopped).
// Returns 0 or the errno of the failing write.
int writeAll(int fd, std::string_view bytes);

// How replaceFile treats what stands at the path and which mode the new file gets.
struct WriteRule {
    FileMode mode = FileMode::Normal;
    // The new file's permission bits exactly (set before it takes the path's place), in place
    // of those that mode gives.
    std::optional<unsigned> exactMode = std::nullopt;
    // A symbolic link at path is replaced by the file (never written through) instead of
    // refused.
    bool replaceLink = false;
};

// The one writer: replaces the content of the file at path by bytes as writeWholeFile below
// does (the rule's mode, links refused unless the rule replaces them). Returns 0, or the errno
// of the failure (ELOOP: a link stands at path), leaving the old file as it was.
int replaceFile(const std::string& path, std::string_view bytes, const WriteRule& rule);

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
