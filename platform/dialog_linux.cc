// Dialogs on Linux.
// PLACEHOLDER until the zenity/kdialog and terminal backends land: the text
// goes to standard error; an alert returns, a question is Cancel.
#include <stdio.h>

#include "platform/platform.h"

static PlatformDialogFunction s_override;

void PlatformSetDialogOverride(PlatformDialogFunction fn) { s_override = fn; }

int PlatformShowDialog(int kind, const char* title, const char* text) {
  if (s_override != nullptr) return s_override(kind, title, text);
  fprintf(stderr, "%s: %s\n", title, text);
  return kind == kPlatformAlert ? 1 : 0;
}
