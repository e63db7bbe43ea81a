// Preferences databases on Linux.
// PLACEHOLDER until the SQLite store lands.
#include "platform/platform.h"

int PlatformPrefsWrite(int, const char*, const char*, const char*) { return 0; }
int PlatformPrefsRemove(int, const char*, const char*) { return 0; }
int PlatformPrefsRead(int, const char*, const char*, char*, int) { return 0; }
