// The launcher's process-wide state and functions.
//
// Everything declared here is exported from the executable's dynamic symbol
// table, so an engine module loaded into the process can resolve any of it by
// name. Keep the names and parameter types stable: engine modules built
// against an older launcher look them up by their (mangled) names.
#ifndef ORVAN_LAUNCHER_LAUNCHER_H
#define ORVAN_LAUNCHER_LAUNCHER_H

#include <stdarg.h>

// ---------------------------------------------------------------------------
// Globals. All start zeroed; sizes count the terminating zero.
extern char g_AppExePath[256];    // argv[0] as started
extern char g_AppFilename[256];   // argv[0] after its last '/'
extern char g_AppPath[256];       // the bundle's resources folder (working directory)
extern char g_UserPath[256];      // per-user data folder, ends in '/'
extern char g_AppNameShort[256];  // from the engine's vokGetAppName
extern char g_AppID[256];
extern char g_AppNameLong[256];
extern char g_DllName[256];         // engine module file name
extern char g_AppCommandLine[4096]; // composed command line or hand-off message
extern char g_sDelayedIPC[4096];    // relay message held until the engine is ready
extern void* g_Dll;                 // engine module handle; never closed
extern int g_nBuild;
extern int g_HaveLock;              // 1 once this process took the instance record

// Engine entry points, bound from the module. Same names as the module's own
// exports; the module is linked -Bsymbolic so its calls reach its functions.
extern int (*vokGetAppName)(char* shortName, char* longName, char* appId, int* build);
extern int (*vokCreate)(int argc, char** argv);
extern int (*vokRun)(void);
extern int (*vokClose)(void);
extern int (*vokSendIPC)(const char* message);
// Declared for engines that look for them; never bound.
extern int (*vokInit)(void);
extern int (*vokPump)(void);
extern int (*vokQuit)(void);

// ---------------------------------------------------------------------------
// Launch driver (launcher/driver.cc)
extern "C" int SDL_main(int argc, char** argv);
int Run(int argc, char** argv, int cycle);
int SdlMainInit(void);
void SdlQuit(void);
// Writes the command line without the install-time switches into `out`.
// Arguments that no longer fit are left out whole, from the first that does
// not fit on. Returns 1 when every argument fitted.
int ComposeCommandLine(int argc, char** argv, char* out, int size);
// Writes "CommandLine|" and each argument followed by '|' into `out`, with
// the same rule for arguments that do not fit.
int ComposeHandOffMessage(int argc, char** argv, char* out, int size);

// ---------------------------------------------------------------------------
// Engine module binding (launcher/engine.cc)
void* LoadDll(const char* name);
void* GetDllSymbol(void* handle, const char* name);
const char* GetDllError(void);
int FreeDll(void* handle);
int InitOrvan(void);
void UnloadOrvan(void);

// ---------------------------------------------------------------------------
// State, folders and reporting (launcher/state.cc, launcher/log.cc,
// launcher/report.cc)
void SetPath(char* argv0);
void GetUserPath(void);
const char* GetHomePath(void);
const char* GetAppDataPath(void);
const char* GetMyDocumentsPath(void);
int fsCreateDirectory(const char* path);
int fsCreatePath(const char* path);
int fsIsDirectoryWriteable(const char* folder);
int fsSetCurrentDir(char* path);

void InitLog(int append);
void CloseLog(void);
void Logf_flush(void);
int vLogf(const char* format, va_list args);
int Logf(const char* format, ...) __attribute__((format(printf, 1, 2)));

void Alertf(const char* format, ...) __attribute__((format(printf, 1, 2)));
int AskYesNof(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LaunchWebBrowserf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---------------------------------------------------------------------------
// Instance guard and message relay (launcher/guard.cc)
int AlreadyRunning(void);
void SendToInstance(const char* message);
extern "C" void SendIPC(const char* message);

// ---------------------------------------------------------------------------
// Uninstaller (uninstall/uninstall.cc)
// The "-Uninstall" flow once the switch was found; always returns 0.
int UninstallFlow(void);
void SelfDestruct(void);
void DelPattern(const char* folder, const char* pattern);
int fsRemoveFile(const char* path);
int fsRemoveDirectory(const char* path);
void DeleteExecutableBF(void);

// ---------------------------------------------------------------------------
// Preferences store (util/prefs.cc) and hex codec (util/hex.cc)
int SetSystemPreference(int allUsers, const char* domain, const char* key, const char* value);
const char* GetSystemPreference(int allUsers, const char* domain, const char* key, const char* def);
int RemoveSystemPreference(int allUsers, const char* domain, const char* key);
int BytesToHex(const unsigned char* bytes, int count, char* text, int size);
int HexToBytes(const char* text, unsigned char* bytes, int size, int length);

#endif
