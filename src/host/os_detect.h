// Operating-system detection: which distribution, release and kernel the installer runs on,
// read from release files, lsb_release and uname.
#pragma once

#include <string>
#include <string_view>

struct OsRelease {
    std::string subtype;   // "Debian", "Ubuntu" or empty when neither is named
    std::string version;   // from the code-name tables, or empty
    std::string codeName;  // from the code-name tables, or empty
};

// Reads the text of "lsb_release -a": Debian first (its code names), then, when Debian is
// not named or none of its code names is, Ubuntu with its code names.
OsRelease classifyLsbRelease(std::string_view text);

// The capture's scratch folder below the program folder.
inline constexpr const char* kCaptureTempFolderName = "temp";

// Runs commandLine (standard output and errors into tempout.txt) in the capture's scratch
// folder, made when missing, and returns its cleaned output; "" when the folder cannot be made
// or entered or the command left nothing. The working folder stays where it was.
std::string captureInTempFolder(const std::string& commandLine);

// The detection routines.
void PIPECOMMANDLINEOUTPUTINTOVARIABLEANDTEMPFILEANDNULL();
void GETOSTYPE();
