// Alerts, questions and web pages: the launcher's ways to reach the user.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "launcher/launcher.h"
#include "platform/platform.h"

// The platform's alert shows at most 255 bytes of text.
static void FormatDialogText(char* text, size_t size, const char* format, va_list args) {
  vsnprintf(text, size, format, args);
  if (strlen(text) > 255) text[255] = '\0';
}

void Alertf(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  FormatDialogText(text, sizeof text, format, args);
  va_end(args);
  PlatformShowDialog(kPlatformAlert, "Error", text);
}

int AskYesNof(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  FormatDialogText(text, sizeof text, format, args);
  va_end(args);
  return PlatformShowDialog(kPlatformQuestion, "Error", text) == 1 ? 1 : 0;
}

void LaunchWebBrowserf(const char* format, ...) {
  char url[1024];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(url, sizeof url, format, args);
  va_end(args);
  if (n < 0 || n >= (int)sizeof url) return;  // a cut address would open the wrong page
  for (const char* p = url; *p; ++p) {
    if ((unsigned char)*p > 0x7F) return;  // an address is ASCII
  }
  PlatformOpenUrl(url);
}
