// Binding of the engine module. The module is opened once per process and
// never closed: it keeps its static state across restart cycles.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "launcher/launcher.h"

void* LoadDll(const char* name) {
  // glibc's dlopen never searches the working directory for a bare name, yet
  // the module sits in the resources folder, which is the working directory.
  char local[512];
  if (strchr(name, '/') == nullptr && access(name, F_OK) == 0 &&
      snprintf(local, sizeof local, "./%s", name) < (int)sizeof local) {
    return dlopen(local, RTLD_LAZY);
  }
  return dlopen(name, RTLD_LAZY);
}

void* GetDllSymbol(void* handle, const char* name) { return dlsym(handle, name); }

const char* GetDllError(void) {
  const char* text = dlerror();
  return text != nullptr ? text : "";
}

int FreeDll(void* handle) { return dlclose(handle); }

template <typename Fn>
static void Bind(Fn* slot, const char* name) {
  *slot = reinterpret_cast<Fn>(GetDllSymbol(g_Dll, name));
}

int InitOrvan(void) {
  if (g_Dll == nullptr) {
    g_Dll = LoadDll(g_DllName);
    if (g_Dll == nullptr) {
      Alertf("ERROR\n\nCan't load %s!\nError: %s", g_DllName, GetDllError());
      return 0;
    }
  }
  Bind(&vokGetAppName, "vokGetAppName");
  Bind(&vokCreate, "vokCreate");
  Bind(&vokRun, "vokRun");
  Bind(&vokClose, "vokClose");
  Bind(&vokSendIPC, "vokSendIPC");
  if (!vokGetAppName || !vokCreate || !vokRun || !vokClose || !vokSendIPC) {
    Alertf("ERROR\n\n missing symbols in %s!", g_DllName);
    Logf("[InitOrvan] GetDllSymbol FAILED\n");
    return 0;
  }
  return 1;
}

void UnloadOrvan(void) {
  vokGetAppName = nullptr;
  vokClose = nullptr;
  vokCreate = nullptr;
  vokRun = nullptr;
}
