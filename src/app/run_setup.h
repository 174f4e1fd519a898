// What the menus and the commands share at start: where the installer keeps its own files
// and the shared state's start values. Pure where possible so the tests need no process
// around them.
#pragma once

#include <string>
#include <string_view>

// The program's file name from its invocation name: "./" dropped, then what follows the last
// "/" ("./setup", "/opt/x/setup" and "setup" all give "setup").
std::string invocationFileName(std::string_view invocation);

// Where the installer keeps its own files (tempout.txt, sudoPassword.txt, hash.txt, the
// profile file): the program's folder when it is writable; otherwise the user's state folder
// $XDG_STATE_HOME/corvane-installer (XDG_STATE_HOME only when absolute, else
// HOME/.local/state). Empty when neither can be named (no HOME).
std::string fileFolderFor(std::string_view programFolder, bool programFolderWritable,
                          std::string_view xdgStateHome, std::string_view home);

// Makes folder and any missing parents with mode 0700 (no elevated command, ever). True when
// it ends up an existing folder this user can write.
bool makePrivateFolder(const std::string& folder);

// What the menus and the commands share at start: the folder of the installer's own files
// (made when it must be, and entered then) and the shared state's start values. False, with
// why, when the files have no place.
bool prepareToRun(const char* argv0, const std::string& startFolder, std::string& why);
