// Instance guard and message relay.
// PLACEHOLDER until the preferences-backed guard lands: no instance is ever
// found running, and relay messages are held until the engine is bound.
#include <stdio.h>

#include "launcher/launcher.h"

int AlreadyRunning(void) { return 0; }

void SendToInstance(const char*) {}

extern "C" void SendIPC(const char* message) {
  if (vokSendIPC != nullptr) {
    Logf("[SendIPC] %s\n", message);
    vokSendIPC(message);
    return;
  }
  snprintf(g_sDelayedIPC, sizeof g_sDelayedIPC, "%s", message);
}
