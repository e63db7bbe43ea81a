// Helpers shared by the fault and load tests: the launcher log as it must
// read, the preferences databases as they must be, and what a test leaves
// behind in processes.
#ifndef ORVAN_TESTS_INTEGRATION_RELIABILITY_SUPPORT_H
#define ORVAN_TESTS_INTEGRATION_RELIABILITY_SUPPORT_H

#include <dirent.h>
#include <errno.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace orvan_test {

// The length of a banner's date at `at` ("Friday December 11, 2026,
// 07:00:13 AM" and the line feed), 0 when the text there is not one.
inline size_t BannerDateLength(const std::string& text, size_t at) {
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  size_t p = at;
  auto word = [&](const char* const* words, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      size_t length = strlen(words[i]);
      if (text.compare(p, length, words[i]) == 0) {
        p += length;
        return true;
      }
    }
    return false;
  };
  auto literal = [&](const char* s) {
    size_t length = strlen(s);
    if (text.compare(p, length, s) != 0) return false;
    p += length;
    return true;
  };
  auto digits = [&](size_t n) {
    for (size_t i = 0; i < n; ++i, ++p) {
      if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    }
    return true;
  };
  static const char* const kHalves[] = {"AM", "PM"};
  bool ok = word(kDays, 7) && literal(" ") && word(kMonths, 12) && literal(" ") && digits(2) && literal(", ") &&
            digits(4) && literal(", ") && digits(2) && literal(":") && digits(2) && literal(":") && digits(2) &&
            literal(" ") && word(kHalves, 2) && literal("\n");
  return ok ? p - at : 0;
}

// The log with the date of every banner replaced by "<time>". A banner whose
// date does not have the form strftime gives it keeps its text and so fails
// any comparison.
inline std::string MaskBanners(const std::string& log) {
  std::string out;
  size_t at = 0;
  while (at < log.size()) {
    size_t next = std::min(log.find("EXE LOG opened ", at), log.find("EXE LOG closed ", at));
    if (next == std::string::npos) break;
    next += strlen("EXE LOG opened ");
    out.append(log, at, next - at);
    at = next;
    if (size_t date = BannerDateLength(log, at)) {
      out += "<time>\n";
      at += date;
    }
  }
  out.append(log, std::min(at, log.size()), std::string::npos);
  return out;
}

// One launch that runs the game, as the pieces its writes put into the log
// (banners masked): every cycle of `cycles`, the engine asking for a restart
// after all but the last.
inline std::vector<std::string> GameLogPieces(const std::string& exe, const std::string& resources,
                                              const std::vector<std::string>& args, int cycles) {
  std::vector<std::string> pieces;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    const bool restart = cycle + 1 < cycles;
    // The banner reaches the file together with the first line.
    pieces.push_back(std::string(cycle > 0 ? "\n\n\n\n" : "") +
                     "EXE LOG opened <time>\n\n[main] Orvan Initialized: Test Game\n");
    pieces.push_back("[main] Path: " + resources + "\n");
    pieces.push_back("[main] Command line:\n");
    pieces.push_back("       " + exe + "\n");
    for (const std::string& arg : args) pieces.push_back("       " + arg + "\n");
    for (const char* line : {"[main] DllName: zizuzo.so\n", "[main] AppName: Test Game  (TestGame)\n",
                             "[main] SdlMainInit\n", "[main] Creating GameTree\n", "[main] Running\n",
                             "[main] Closing\n", "[main] SDL_Quit\n", "[main] Unloading Orvan\n"}) {
      pieces.push_back(line);
    }
    if (restart) {
      pieces.push_back("[main] restart requested\n");
      pieces.push_back("       " + exe + "\n");
    }
    pieces.push_back("[main] Exiting\n");
    pieces.push_back("EXE LOG closed <time>\n\n");
  }
  return pieces;
}

inline std::string Join(const std::vector<std::string>& pieces, size_t count = std::string::npos) {
  std::string text;
  for (size_t i = 0; i < pieces.size() && i < count; ++i) text += pieces[i];
  return text;
}

// Whether `masked` is exactly one game's log with the few lines of launches
// that handed over to it mixed in, each write whole: their opening banner
// (after four line feeds, unless the file was empty when they opened it) and
// their "Orvan Initialized" line. Counts those writes in `notes`; `why` tells
// where the text went wrong.
inline bool IsGameLogWithHandOffs(const std::string& masked, const std::vector<std::string>& game, int* notes,
                                  std::string* why) {
  const std::string handOff[] = {"\n\n\n\nEXE LOG opened <time>\n\n", "EXE LOG opened <time>\n\n",
                                 "[main] Orvan Initialized: Test Game\n"};
  size_t at = 0;
  size_t next = 0;
  *notes = 0;
  while (at < masked.size()) {
    if (next < game.size() && masked.compare(at, game[next].size(), game[next]) == 0) {
      at += game[next++].size();
      continue;
    }
    bool matched = false;
    for (const std::string& piece : handOff) {
      if (masked.compare(at, piece.size(), piece) == 0) {
        at += piece.size();
        ++*notes;
        matched = true;
        break;
      }
    }
    if (!matched) {
      *why = "unexpected text at byte " + std::to_string(at) + ": \"" + masked.substr(at, 80) + "\"";
      return false;
    }
  }
  if (next != game.size()) {
    *why = "the game's log stops after " + std::to_string(next) + " of " + std::to_string(game.size()) +
           " writes";
    return false;
  }
  return true;
}

// Every row of a preferences database as "domain|key=value", in order; "(no
// database)" when it cannot be opened or read. Read-only: a test must not
// change what it inspects.
inline std::vector<std::string> DatabaseRows(const std::string& path) {
  std::vector<std::string> rows;
  if (!FileExists(path)) return {"(no database)"};
  sqlite3* db = nullptr;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, "SELECT domain, key, value FROM preferences ORDER BY domain, key", -1, &stmt,
                         nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return {"(no database)"};
  }
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    const unsigned char* value = sqlite3_column_text(stmt, 2);
    rows.push_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) + "|" +
                   reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)) + "=" +
                   (value ? reinterpret_cast<const char*>(value) : "(null)"));
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

// SQLite's own verdict on a database: "ok" when it is sound.
inline std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  std::string verdict = "(cannot open)";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_stmt* stmt = nullptr;
    verdict = "(cannot check)";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      verdict = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
  return verdict;
}

// The processes whose parent is this one and that have ended without being
// waited for.
inline std::vector<pid_t> ZombieChildren() {
  std::vector<pid_t> zombies;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return zombies;
  const std::string self = std::to_string(getpid());
  while (struct dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long pid = strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    std::string stat = ReadFile(std::string("/proc/") + entry->d_name + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 4 >= stat.size()) continue;
    // After the name: " S PPID ..."
    char state = stat[close + 2];
    std::string parent = stat.substr(close + 4, stat.find(' ', close + 4) - (close + 4));
    if (state == 'Z' && parent == self) zombies.push_back(static_cast<pid_t>(pid));
  }
  closedir(proc);
  return zombies;
}

// True when no child of this process is left, running or ended.
inline bool NoChildLeft() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

// A line for docs/reliability.md: tab-separated fields appended to the file
// named by $ORVAN_RELIABILITY_NOTES, when set (scripts/reliability.sh).
inline void ReliabilityNote(const std::vector<std::string>& fields) {
  const char* path = getenv("ORVAN_RELIABILITY_NOTES");
  if (path == nullptr || path[0] == '\0') return;
  FILE* out = fopen(path, "a");
  if (out == nullptr) return;
  for (size_t i = 0; i < fields.size(); ++i) fprintf(out, "%s%s", i ? "\t" : "", fields[i].c_str());
  fputc('\n', out);
  fclose(out);
}

}  // namespace orvan_test

#endif
