// The storage subsystem's captures: a command runs in the program folder with its standard
// output redirected into tempout.txt, which is read back in one piece into COMMANDLINEOUTPUT.
// Same rules as the shell captures; besides, the elevated form feeds the password on stdin, and
// the whole file is read with one read call and cleaned in place, so a listing of hundreds of
// thousands of paths is held once, not copied on its way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace storage {

enum class Privilege { User, Elevated };

// Zero bytes dropped and blanks (spaces only) removed at both ends, in place.
void cleanCaptureInPlace(std::string& text);

// Runs command (+ " > tempout.txt", LC_ALL=C) in the program folder, waits pauseMs after it
// (through the platform), reads and deletes tempout.txt; returns to the starting folder.
// COMMANDLINEINPUT holds the command, COMMANDLINEOUTPUT the output (empty when nothing).
const std::string& captureThroughScratchFile(const std::string& command, Privilege privilege,
                                             int64_t pauseMs = 0);

}  // namespace storage
