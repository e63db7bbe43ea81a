// Preferences store.
// PLACEHOLDER until the store lands: nothing is kept.
#include "launcher/launcher.h"

int SetSystemPreference(int, const char*, const char*, const char*) { return 0; }
const char* GetSystemPreference(int, const char*, const char*, const char* def) { return def; }
int RemoveSystemPreference(int, const char*, const char*) { return 0; }
