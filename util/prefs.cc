// Preferences store: short texts per application domain, in the current
// user's or the machine's scope, always for this machine alone. The store
// itself is the platform's (platform/prefs_*.cc); here the domain is named.
#include <stddef.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"
#include "platform/platform.h"

namespace {

const char kVendorPrefix[] = "com.brambleford";

// "!name" names the domain "name" itself; any other name lives under the
// vendor's prefix. A domain text that would not fit in 255 characters is
// refused rather than cut: a cut one would name somebody else's domain.
int ComposeDomain(const char* name, char (&domain)[256]) {
  if (name == nullptr) return 0;
  if (name[0] == '!') return FormatWhole(domain, sizeof domain, "%s", name + 1);
  return FormatWhole(domain, sizeof domain, "%s.%s", kVendorPrefix, name);
}

}  // namespace

int SetSystemPreference(int allUsers, const char* domain, const char* key, const char* value) {
  char text[256];
  if (key == nullptr || value == nullptr || !ComposeDomain(domain, text)) return 0;
  return PlatformPrefsWrite(allUsers != 0, text, key, value);
}

const char* GetSystemPreference(int allUsers, const char* domain, const char* key, const char* def) {
  char text[256];
  if (key == nullptr || !ComposeDomain(domain, text)) return def;
  if (!PlatformPrefsRead(allUsers != 0, text, key, s_sTempPath, sizeof s_sTempPath)) return def;
  return s_sTempPath;
}

int RemoveSystemPreference(int allUsers, const char* domain, const char* key) {
  char text[256];
  if (key == nullptr || !ComposeDomain(domain, text)) return 0;
  return PlatformPrefsRemove(allUsers != 0, text, key);
}
