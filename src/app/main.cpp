// The installer's entry point: the real platform, then the start-up sequence.
#include "app/installWalletForLinux.h"

int main(int argc, char** argv) { return runInstaller(argc, argv); }
