// Placeholders for the routines of this subsystem that are not built yet.
// Each is removed from here when its real implementation lands.
#include "app/installWalletForLinux.h"

void runManualInstallationMenu() {}
void runSelectedWalletMenu() {}
