/* Loaded into the real launcher with LD_PRELOAD by the integration tests.
 *
 *   PROBE_IPC  messages, one per line, handed to SendIPC before main() runs,
 *              the way open-file requests arrive before launching finishes
 *   PROBE_OUT  file that gets, when the process exits, the launcher's
 *              "commandline=" (g_AppCommandLine), "delayed=" (g_sDelayedIPC)
 *              and "havelock=" (g_HaveLock), one line each
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

__attribute__((constructor)) static void SendEarly(void) {
  const char* list = getenv("PROBE_IPC");
  void (*send)(const char*) = (void (*)(const char*))dlsym(RTLD_DEFAULT, "SendIPC");
  char message[8192];
  if (list == NULL || send == NULL) return;
  while (*list != '\0') {
    size_t n = strcspn(list, "\n");
    if (n < sizeof message) {
      memcpy(message, list, n);
      message[n] = '\0';
      send(message);
    }
    list += n;
    if (*list == '\n') ++list;
  }
}

__attribute__((destructor)) static void Report(void) {
  const char* path = getenv("PROBE_OUT");
  const char* commandLine = (const char*)dlsym(RTLD_DEFAULT, "g_AppCommandLine");
  const char* delayed = (const char*)dlsym(RTLD_DEFAULT, "g_sDelayedIPC");
  const int* haveLock = (const int*)dlsym(RTLD_DEFAULT, "g_HaveLock");
  FILE* f;
  if (path == NULL || commandLine == NULL || delayed == NULL || haveLock == NULL) return;
  f = fopen(path, "w");
  if (f == NULL) return;
  fprintf(f, "commandline=%s\ndelayed=%s\nhavelock=%d\n", commandLine, delayed, *haveLock);
  fclose(f);
}
