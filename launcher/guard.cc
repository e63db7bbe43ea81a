// Instance guard and message relay.
//
// The running instance is named by the "PSN" preference of the application's
// domain: its 8-byte process identity as 16 hex digits. A launch that finds a
// live process there hands over and ends; any other launch records itself.
#include <stdio.h>
#include <string.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace {

const char kRecordKey[] = "PSN";

// 1 when a record in the scope names a live process other than this one.
// Only a text of exactly 16 hex digits is an identity; anything else in the
// record names no process.
int RecordNamesLiveInstance(int allUsers, const PlatformProcessId* self) {
  const char* text = GetSystemPreference(allUsers, g_AppNameLong, kRecordKey, nullptr);
  if (text == nullptr || strlen(text) != 16) return 0;
  PlatformProcessId id;
  if (HexToBytes(text, id.bytes, sizeof id.bytes, 16) != (int)sizeof id.bytes) return 0;
  // Our own record is one a previous cycle failed to remove, not another
  // instance: handing over to ourselves would end a restart silently.
  if (self != nullptr && memcmp(id.bytes, self->bytes, sizeof id.bytes) == 0) return 0;
  return PlatformProcessIsLive(&id);
}

}  // namespace

int AlreadyRunning(void) {
  // Launches started together must not all find the record empty: the
  // read-test-write below runs under a lock that they share.
  int lock = PlatformLockInstance();

  PlatformProcessId self;
  int haveSelf = PlatformCurrentProcess(&self);
  const PlatformProcessId* me = haveSelf ? &self : nullptr;

  // Both scopes are asked: a stale all-users record must not hide a live
  // instance that recorded itself for the current user only (its all-users
  // write was refused).
  int running = RecordNamesLiveInstance(1, me) || RecordNamesLiveInstance(0, me);
  if (!running) {
    g_HaveLock = 1;
    char text[256];
    if (haveSelf && BytesToHex(self.bytes, sizeof self.bytes, text, sizeof text)) {
      if (!SetSystemPreference(1, g_AppNameLong, kRecordKey, text)) {
        SetSystemPreference(0, g_AppNameLong, kRecordKey, text);
      }
    }
  }

  PlatformUnlockInstance(lock);
  return running;
}

// No transport to a running instance exists: the message is dropped.
void SendToInstance(const char*) {}

extern "C" void SendIPC(const char* message) {
  if (message == nullptr) return;
  if (vokSendIPC != nullptr) {
    Logf("[SendIPC] %s\n", message);
    vokSendIPC(message);
    return;
  }
  // A message that does not fit is not held: a cut one could name another
  // file. It still replaces any message held before it, as every later
  // message does, so the engine never gets a request the user gave up on.
  if (message == g_sDelayedIPC) return;  // already held
  FormatWhole(g_sDelayedIPC, sizeof g_sDelayedIPC, "%s", message);
}
