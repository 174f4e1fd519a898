// Shell command capture: a command runs in the program folder (its own working folder; the
// installer's stays where it is) with its standard output
// redirected into tempout.txt, which is read back in one piece into COMMANDLINEOUTPUT. The
// file is read with one read call and cleaned in place, so a listing of hundreds of thousands
// of paths is held once, not copied on its way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class CapturePrivilege { User, Elevated };

// The captured bytes as the routines keep them: zero bytes dropped, blanks (spaces only)
// removed at both ends; line feeds stay.
std::string cleanCapturedOutput(std::string_view raw);
void cleanCaptureInPlace(std::string& text);

// Runs command (+ " > tempout.txt", LC_ALL=C; elevated: the password on sudo's stdin) in the
// program folder, waits pauseMs after it (through the platform), reads and deletes
// tempout.txt; the installer's current folder does not change. An old tempout.txt is deleted first
// and never read. COMMANDLINEINPUT holds the command, COMMANDLINEOUTPUT the output (empty when
// nothing), which is also returned.
const std::string& captureThroughScratchFile(const std::string& command,
                                             CapturePrivilege privilege = CapturePrivilege::User,
                                             int64_t pauseMs = 0);

// The same capture (as the user) that keeps the bytes as the command wrote them: zero bytes
// and blanks stay, for output whose records are separated by zero bytes (find -print0).
const std::string& captureBytesThroughScratchFile(const std::string& command, int64_t pauseMs);

// The capture routines: COMMANDLINEINPUT in, COMMANDLINEOUTPUT out.
void PIPECOMMANDLINEOUTPUTINTOVARIABLE();
void PIPECOMMANDLINEOUTPUTOFCURRENTDIRECTORYINTOVARIABLE();
