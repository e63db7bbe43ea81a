// Preferences databases on Linux: one SQLite file per scope, a row per
// (host, domain, key). The current user's lives under $XDG_CONFIG_HOME, the
// machine's shared one under $ORVAN_SHARED_PREFS_DIR (/var/lib/orvan), which an
// ordinary user cannot create or write, so that scope refuses their writes.
//
// Durability: every change is one transaction in SQLite's default rollback
// journal (not WAL: home folders may live on network file systems, where WAL
// is unsafe). synchronous=FULL syncs the journal and the database, but in
// this journal mode the commit point is the journal's deletion, and FULL does
// not sync the folder after it: a power loss right after a commit could bring
// the journal back and roll the change out again. EXTRA is FULL plus that
// folder sync, so a change reported as written stays written.
//
// A database file is only ever opened through SQLite: a file that is not a
// database, is locked or cannot be written makes the call fail, and is never
// replaced or removed.
#include <errno.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

const char kDatabaseName[] = "preferences.db";
int s_busyTimeoutMs = 5000;

// Every text of this file is refused whole when it does not fit.
int Format(char* out, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int Format(char* out, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsnprintf(out, (size_t)size, format, args);
  va_end(args);
  if (n < 0 || n >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

// An environment variable naming a folder: set, not empty and absolute (a
// relative one is ignored, as XDG asks).
const char* EnvFolder(const char* name) {
  const char* value = getenv(name);
  return value != nullptr && value[0] == '/' ? value : nullptr;
}

void SyncFolder(const char* path) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// mkdir -p with `mode` for each folder it makes. A new folder's entry is
// synced into its parent, so that a database written into it survives a
// power loss along with the folder.
int MakeFolders(const char* path, mode_t mode) {
  char prefix[1024];
  if (!Format(prefix, sizeof prefix, "%s", path)) return 0;
  size_t n = strlen(prefix);
  for (size_t i = 1; i <= n; ++i) {
    if (prefix[i] != '/' && prefix[i] != '\0') continue;
    if (prefix[i - 1] == '/') continue;  // doubled '/'
    char saved = prefix[i];
    prefix[i] = '\0';
    if (mkdir(prefix, mode) == 0) {
      char* slash = strrchr(prefix, '/');
      if (slash == prefix) {
        SyncFolder("/");
      } else if (slash != nullptr) {
        *slash = '\0';
        SyncFolder(prefix);
        *slash = '/';
      }
    } else if (errno != EEXIST) {
      return 0;
    }
    prefix[i] = saved;
  }
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int DatabasePath(int allUsers, int create, char* folder, int folderSize, char* path, int size) {
  return PlatformPrefsFolder(allUsers, create, folder, folderSize) &&
         Format(path, size, "%s/%s", folder, kDatabaseName);
}

// The current machine: its machine id, else its host name.
int ReadHost(char* out, int size) {
  out[0] = '\0';
  FILE* f = fopen("/etc/machine-id", "re");
  if (f != nullptr) {
    if (fgets(out, size, f) == nullptr) out[0] = '\0';
    fclose(f);
    out[strcspn(out, " \t\r\n")] = '\0';
  }
  if (out[0] != '\0') return 1;
  if (gethostname(out, (size_t)size) != 0) return 0;
  out[size - 1] = '\0';
  return out[0] != '\0';
}

// Texts go into the database as UTF-8; the launcher's are Latin-1, where every
// byte is one character. -1 when the result does not fit.
int Latin1ToUtf8(const char* in, char* out, int size) {
  int n = 0;
  for (const unsigned char* p = (const unsigned char*)in; *p != '\0'; ++p) {
    if (n + (*p < 0x80 ? 1 : 2) >= size) return -1;
    if (*p < 0x80) {
      out[n++] = (char)*p;
    } else {
      out[n++] = (char)(0xC0 | (*p >> 6));
      out[n++] = (char)(0x80 | (*p & 0x3F));
    }
  }
  out[n] = '\0';
  return n;
}

// The way back. Only U+0001 to U+00FF have a Latin-1 form; anything else
// (a higher character, a zero, bytes that are not UTF-8) makes the text
// "not a string". 0 also when it does not fit in `size` with the terminator.
int Utf8ToLatin1(const unsigned char* in, int length, char* out, int size) {
  int n = 0;
  for (int i = 0; i < length; ++i) {
    unsigned char c = in[i];
    if (c == 0) return 0;
    if (c >= 0x80) {
      if ((c != 0xC2 && c != 0xC3) || i + 1 >= length || (in[i + 1] & 0xC0) != 0x80) return 0;
      c = (unsigned char)(((c & 0x03) << 6) | (in[++i] & 0x3F));
    }
    if (n + 1 >= size) return 0;
    out[n++] = (char)c;
  }
  out[n] = '\0';
  return 1;
}

sqlite3* OpenDatabase(const char* path, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, s_busyTimeoutMs);
  return db;
}

int Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// The texts of a row's identity, converted for the database.
struct RowKey {
  char host[256];
  char domain[512];
  char key[2048];
};

int MakeRowKey(const char* domain, const char* key, RowKey* row) {
  if (domain == nullptr || key == nullptr) return 0;
  return ReadHost(row->host, sizeof row->host) &&
         Latin1ToUtf8(domain, row->domain, sizeof row->domain) >= 0 &&
         Latin1ToUtf8(key, row->key, sizeof row->key) >= 0;
}

int BindRowKey(sqlite3_stmt* stmt, const RowKey& row) {
  return sqlite3_bind_text(stmt, 1, row.host, -1, SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_bind_text(stmt, 2, row.domain, -1, SQLITE_STATIC) == SQLITE_OK &&
         sqlite3_bind_text(stmt, 3, row.key, -1, SQLITE_STATIC) == SQLITE_OK;
}

// Stores `value` (null: removes the row) in one durable transaction.
int Change(int allUsers, const char* domain, const char* key, const char* value) {
  RowKey row;
  if (!MakeRowKey(domain, key, &row)) return 0;
  char utf8[8192];
  if (value != nullptr && Latin1ToUtf8(value, utf8, sizeof utf8) < 0) return 0;

  char folder[1024];
  char path[1100];
  struct stat st;
  int existed;
  if (value == nullptr) {
    // Nothing to remove from a database that is not there; a removal makes
    // no file.
    if (!DatabasePath(allUsers, 0, folder, sizeof folder, path, sizeof path)) return 0;
    if (stat(path, &st) != 0) return errno == ENOENT ? 1 : 0;
    existed = 1;
  } else {
    if (!DatabasePath(allUsers, 1, folder, sizeof folder, path, sizeof path)) return 0;
    existed = stat(path, &st) == 0;
  }

  sqlite3* db = OpenDatabase(path, SQLITE_OPEN_READWRITE | (value != nullptr ? SQLITE_OPEN_CREATE : 0));
  if (db == nullptr) return 0;
  int ok = Exec(db, "PRAGMA synchronous=EXTRA") && Exec(db, "BEGIN IMMEDIATE");
  if (ok) {
    ok = Exec(db,
              "CREATE TABLE IF NOT EXISTS preferences (host TEXT NOT NULL, domain TEXT NOT NULL, "
              "key TEXT NOT NULL, value, PRIMARY KEY (host, domain, key))");
    sqlite3_stmt* stmt = nullptr;
    const char* sql = value != nullptr
                          ? "INSERT INTO preferences (host, domain, key, value) VALUES (?1, ?2, ?3, ?4) "
                            "ON CONFLICT (host, domain, key) DO UPDATE SET value = excluded.value"
                          : "DELETE FROM preferences WHERE host = ?1 AND domain = ?2 AND key = ?3";
    ok = ok && sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && BindRowKey(stmt, row) &&
         (value == nullptr || sqlite3_bind_text(stmt, 4, utf8, -1, SQLITE_STATIC) == SQLITE_OK) &&
         sqlite3_step(stmt) == SQLITE_DONE;
    sqlite3_finalize(stmt);
    ok = ok && Exec(db, "COMMIT");
    if (!ok) Exec(db, "ROLLBACK");
  }
  sqlite3_close(db);
  // SQLite syncs the folder for its journal, not for a database file it has
  // just made.
  if (ok && !existed) SyncFolder(folder);
  return ok;
}

}  // namespace

int PlatformPrefsFolder(int allUsers, int create, char* out, int size) {
  if (allUsers) {
    const char* shared = EnvFolder("ORVAN_SHARED_PREFS_DIR");
    if (!Format(out, size, "%s", shared != nullptr ? shared : "/var/lib/orvan")) return 0;
    return !create || MakeFolders(out, 0755);
  }
  const char* config = EnvFolder("XDG_CONFIG_HOME");
  if (config != nullptr) {
    if (!Format(out, size, "%s/orvan", config)) return 0;
  } else {
    char home[1024];
    if (!PlatformHomeFolder(home, sizeof home) || !Format(out, size, "%s/.config/orvan", home)) return 0;
  }
  return !create || MakeFolders(out, 0700);
}

void PlatformPrefsSetBusyTimeout(int milliseconds) { s_busyTimeoutMs = milliseconds; }

int PlatformPrefsWrite(int allUsers, const char* domain, const char* key, const char* value) {
  if (value == nullptr) return 0;
  return Change(allUsers, domain, key, value);
}

int PlatformPrefsRemove(int allUsers, const char* domain, const char* key) {
  return Change(allUsers, domain, key, nullptr);
}

int PlatformPrefsRead(int allUsers, const char* domain, const char* key, char* out, int size) {
  RowKey row;
  char folder[1024];
  char path[1100];
  if (size < 1 || !MakeRowKey(domain, key, &row) ||
      !DatabasePath(allUsers, 0, folder, sizeof folder, path, sizeof path)) {
    return 0;
  }
  // Read-write without create: a missing file stays missing, and a journal
  // left by a writer that died mid-commit can be rolled back. A file the
  // process may not write is opened read-only by SQLite itself.
  sqlite3* db = OpenDatabase(path, SQLITE_OPEN_READWRITE);
  if (db == nullptr) return 0;
  sqlite3_stmt* stmt = nullptr;
  int ok = sqlite3_prepare_v2(db, "SELECT value FROM preferences WHERE host = ?1 AND domain = ?2 AND key = ?3",
                              -1, &stmt, nullptr) == SQLITE_OK &&
           BindRowKey(stmt, row) && sqlite3_step(stmt) == SQLITE_ROW &&
           sqlite3_column_type(stmt, 0) == SQLITE_TEXT;
  if (ok) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    ok = text != nullptr && Utf8ToLatin1(text, sqlite3_column_bytes(stmt, 0), out, size);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return ok;
}
