// Starting helper programs (dialog tools, the browser opener) on Linux.
// Internal to platform/; not part of the platform interface.
#ifndef ORVAN_PLATFORM_SPAWN_LINUX_H
#define ORVAN_PLATFORM_SPAWN_LINUX_H

#include <spawn.h>

// Initialises `attr` so that the child starts with no signal blocked and the
// default action for the signals the launcher handles or ignores itself
// (quit requests, SIGPIPE, SIGCHLD): a tool must not inherit our handling.
// `flags` adds spawn flags such as POSIX_SPAWN_SETSID. Destroy `attr` after use.
void InitChildSpawnAttr(posix_spawnattr_t* attr, short flags);

#endif
