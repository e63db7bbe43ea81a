#include "platform/spawn_linux.h"

#include <signal.h>

void InitChildSpawnAttr(posix_spawnattr_t* attr, short flags) {
  posix_spawnattr_init(attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  const int kSignals[] = {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD};
  for (int s : kSignals) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(attr, &none);
  posix_spawnattr_setsigdefault(attr, &defaults);
  posix_spawnattr_setflags(attr, static_cast<short>(flags | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));
}
