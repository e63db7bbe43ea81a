// Process identity and the instance lock on Linux.
// PLACEHOLDER until the guard lands.
#include "platform/platform.h"

int PlatformCurrentProcess(PlatformProcessId*) { return 0; }
int PlatformProcessIsLive(const PlatformProcessId*) { return 0; }
int PlatformLockInstance(void) { return -1; }
void PlatformUnlockInstance(int) {}
