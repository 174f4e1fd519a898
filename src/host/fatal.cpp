// The fatal file error: the terminal first, then one line, then status 1.
#include "host/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "host/terminal.h"

void fatalFileError(const std::string& path, const std::string& reason) {
    terminal::restore();
    std::fflush(stdout);
    std::fprintf(stderr, "\ninstallWalletForLinux: cannot open or create file %s: %s\n",
                 path.c_str(), reason.c_str());
    std::exit(1);
}
