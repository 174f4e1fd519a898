// The installer's entry point: the real platform, then the start-up sequence.
#include "app/startup.h"

int main(int argc, char** argv) { return runInstaller(argc, argv); }
