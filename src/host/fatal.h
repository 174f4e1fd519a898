// The one fatal condition: a file that can be neither opened nor created.
#pragma once

#include <string>

// Restores the terminal, prints one line naming the file and the reason on standard error,
// and ends the process with exit status 1.
[[noreturn]] void fatalFileError(const std::string& path, const std::string& reason);
