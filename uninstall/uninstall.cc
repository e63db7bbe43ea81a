// The "-Uninstall" flow.
// PLACEHOLDER until the uninstaller lands: ends the cycle without removing anything.
#include "launcher/launcher.h"

int UninstallFlow(void) { return 0; }
