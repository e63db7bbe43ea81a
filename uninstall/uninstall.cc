// The "-Uninstall" flow: asks the user, removes what the installer's list
// "uninstall.log" names, and offers the exit poll on the vendor's site.
//
// The list format is the installers' and cannot change: records
// "Keyword:fields" one after another, read with the rules of the scan
// formats "%32[^:]:" (keyword), "%512[^\n]\n" (rest of a line) and
// "%512[^:]:" (a Pattern's folder). The reader below is those rules written
// out with getc, so that it can also tell when a value was cut or held a zero
// byte: such a value names something other than what the list holds, and
// the record then removes nothing (see ReadField).
#include <ctype.h>
#include <glob.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/internal.h"
#include "launcher/launcher.h"

#ifndef ORVAN_VENDOR_SITE
#error "ORVAN_VENDOR_SITE (scheme and host of the vendor's web site) must be set by the build"
#endif

namespace {

const char kListName[] = "uninstall.log";
const int kKeywordChars = 32;
const int kValueChars = 512;

enum FieldResult {
  kFieldNone = 0,  // nothing to read: the stop character or the end came first
  kFieldValue,     // a whole value
  kFieldUnsafe,    // a value was read, but cut at the limit or holding a zero byte
};

// Reads 1 to `max` characters other than `stop` into `out` (max + 1 bytes).
// The character that ends the field stays unread. A field that reaches `max`
// characters while the line goes on is cut; the remainder stays unread and is
// what the next read sees, as the scan formats would leave it.
FieldResult ReadField(FILE* f, int stop, char* out, int max) {
  int n = 0;
  int zero = 0;
  int c = EOF;
  while (n < max && (c = getc(f)) != EOF && c != stop) {
    if (c == '\0') zero = 1;
    out[n++] = (char)c;
  }
  out[n] = '\0';
  if (n < max) {
    if (c != EOF) ungetc(c, f);
  } else {
    c = getc(f);
    if (c != EOF) ungetc(c, f);
  }
  if (n == 0) return kFieldNone;
  int cut = n == max && c != EOF && c != stop;
  return cut || zero ? kFieldUnsafe : kFieldValue;
}

// The white space that ends a rest-of-line field: the line feed, then empty
// lines and the indentation of the next one.
void SkipWhiteSpace(FILE* f) {
  int c;
  while ((c = getc(f)) != EOF && isspace(c)) {
  }
  if (c != EOF) ungetc(c, f);
}

// A value ended by a line feed: the path of File and Folder, the pattern of
// Pattern. Only a missing value leaves the line feed in place.
FieldResult ReadRestOfLine(FILE* f, char* out) {
  FieldResult r = ReadField(f, '\n', out, kValueChars);
  if (r != kFieldNone) SkipWhiteSpace(f);
  return r;
}

// A value ended by ':' (the keyword, a Pattern's folder); the ':' is taken
// when it follows.
FieldResult ReadUpToColon(FILE* f, char* out, int max) {
  FieldResult r = ReadField(f, ':', out, max);
  if (r == kFieldNone) return r;
  int c = getc(f);
  if (c != ':' && c != EOF) ungetc(c, f);
  return r;
}

// RFC 3986 unreserved characters stay; every other byte becomes %XX. The
// application identifier comes from the engine and may hold anything,
// including '&', '#' and blanks that would change the address.
int PercentEncode(const char* in, char* out, size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  size_t used = 0;
  for (const unsigned char* p = (const unsigned char*)in; *p; ++p) {
    int plain = isalnum(*p) || *p == '-' || *p == '.' || *p == '_' || *p == '~';
    if (*p > 0x7F) plain = 0;  // isalnum may accept high bytes in some locales
    size_t need = plain ? 1 : 3;
    if (used + need >= size) {
      out[0] = '\0';
      return 0;
    }
    if (plain) {
      out[used++] = (char)*p;
    } else {
      out[used++] = '%';
      out[used++] = kHex[*p >> 4];
      out[used++] = kHex[*p & 0x0F];
    }
  }
  out[used] = '\0';
  return 1;
}

}  // namespace

int fsRemoveFile(const char* path) { return path != nullptr && unlink(path) == 0 ? 1 : 0; }

int fsRemoveDirectory(const char* path) { return path != nullptr && rmdir(path) == 0 ? 1 : 0; }

void DeleteExecutableBF(void) {}

// Removes the files and symbolic links that the folder and pattern match.
// glob's GLOB_MARK puts a '/' after every match that stat() finds to be a
// folder, and stat() follows links: a link to a folder comes back marked
// too. Such a match is looked at with lstat(): a link is removed as the link
// it is (the folder it points to and its files are untouched); a real folder
// is left alone. unlink() itself never removes a folder.
void DelPattern(const char* folder, const char* pattern) {
  char search[512];
  // A search pattern that does not fit is skipped rather than cut: a cut
  // pattern such as "dir/*" for "dir/*.bak" would match other files.
  int fits = folder[0] != '\0' ? FormatWhole(search, sizeof search, "%s/%s", folder, pattern)
                               : FormatWhole(search, sizeof search, "%s", pattern);
  if (!fits) return;

  glob_t matches;
  memset(&matches, 0, sizeof matches);
  if (glob(search, GLOB_MARK, nullptr, &matches) == 0) {
    for (size_t i = 0; i < matches.gl_pathc; ++i) {
      char* path = matches.gl_pathv[i];
      size_t n = strlen(path);
      if (n == 0) continue;
      if (path[n - 1] != '/') {
        fsRemoveFile(path);
        continue;
      }
      path[n - 1] = '\0';
      struct stat st;
      if (n > 1 && lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) fsRemoveFile(path);
    }
  }
  globfree(&matches);
}

void SelfDestruct(void) {
  FILE* f = fopen(kListName, "r");
  if (f == nullptr) return;

  char keyword[kKeywordChars + 1];
  char value[kValueChars + 1];
  char folder[kValueChars + 1];
  int removeList = 0;
  for (;;) {
    FieldResult k = ReadUpToColon(f, keyword, kKeywordChars);
    if (k == kFieldNone) break;
    if (k == kFieldUnsafe) continue;  // "File\0x" is not "File"; nothing more is read

    if (strcasecmp(keyword, "File") == 0) {
      if (ReadRestOfLine(f, value) == kFieldValue) fsRemoveFile(value);
    } else if (strcasecmp(keyword, "Pattern") == 0) {
      FieldResult d = ReadUpToColon(f, folder, kValueChars);
      FieldResult p = ReadRestOfLine(f, value);
      if (d == kFieldValue && p == kFieldValue) DelPattern(folder, value);
    } else if (strcasecmp(keyword, "Self") == 0) {
      removeList = 1;
    } else if (strcasecmp(keyword, "Folder") == 0) {
      if (ReadRestOfLine(f, value) == kFieldValue) fsRemoveDirectory(value);
    }
  }
  fclose(f);

  if (removeList) {
    fsRemoveFile(kListName);
    DeleteExecutableBF();
  }
}

int UninstallFlow(void) {
  if (!AskYesNof("%s Uninstall\n\nAre you sure you want to remove %s from your computer?",
                 g_AppNameLong, g_AppNameLong)) {
    return 0;
  }
  Logf("[main] Uninstalling\n");
  CloseLog();
  UnloadOrvan();
  SelfDestruct();

  if (AskYesNof("%s has succesfully been removed from your computer.\n"
                "Would you like to take an exit poll to tell us why you're uninstalling?",
                g_AppNameLong)) {
    char from[sizeof g_AppID * 3];
    if (PercentEncode(g_AppID, from, sizeof from)) {
      LaunchWebBrowserf("%s/uninstallpoll.html?From=%s&Build=%i", ORVAN_VENDOR_SITE, from,
                        g_nBuild);
    }
  }
  return 0;
}
