// Web browser on Linux.
// PLACEHOLDER until the xdg-open start lands: nothing is opened.
#include "platform/platform.h"

int PlatformOpenUrl(const char*) { return 0; }
