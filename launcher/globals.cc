// The launcher's process-wide state. Defined in one place so that every
// writer and reader (and the engine module, by name) share the same objects.
#include "launcher/launcher.h"
#include "launcher/internal.h"

char g_AppExePath[256];
char g_AppFilename[256];
char g_AppPath[256];
char g_UserPath[256];
char g_AppNameShort[256];
char g_AppID[256];
char g_AppNameLong[256];
char g_DllName[256];
char g_AppCommandLine[4096];
char g_sDelayedIPC[4096];
void* g_Dll;
int g_nBuild;
int g_HaveLock;

int (*vokGetAppName)(char*, char*, char*, int*);
int (*vokCreate)(int, char**);
int (*vokRun)(void);
int (*vokClose)(void);
int (*vokSendIPC)(const char*);
int (*vokInit)(void);
int (*vokPump)(void);
int (*vokQuit)(void);

char s_sTempPath[1024];
