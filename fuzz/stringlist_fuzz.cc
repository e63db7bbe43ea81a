// SStringList::Split against a plain character-by-character reading of its
// rules; the list's word-at-a-time scan must give the same items at the same
// places.
//
// Input: byte 0 is the delimiter (a zero becomes ','), byte 1 bit 0 asks for
// trimming; the rest, up to its first zero byte, is the text.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "util/stringlist.h"

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"'; }

struct Expected {
  std::string copy;         // the text copy after cutting and trimming
  std::vector<int> starts;  // item starts, -1 for an empty item between two delimiters
};

Expected Reference(const std::string& text, char delimiter, bool trim) {
  Expected e;
  e.copy = text;
  std::string& t = e.copy;
  const size_t length = t.size();
  size_t pos = 0;
  bool quoted = false;
  if (length > 0 && IsQuote(t[0])) {
    quoted = true;
    pos = 1;
  }
  e.starts.push_back((int)pos);
  while (pos < length) {
    char c = t[pos];
    if (quoted) {
      if (IsQuote(c)) {
        t[pos] = ' ';
        quoted = false;
      }
      ++pos;
      continue;
    }
    if (c != delimiter) {
      ++pos;
      continue;
    }
    t[pos] = '\0';
    char next = pos + 1 < length ? t[pos + 1] : '\0';
    if (next == delimiter) {
      e.starts.push_back(-1);
      pos += 1;
    } else if (IsQuote(next)) {
      quoted = true;
      e.starts.push_back((int)(pos + 2));
      pos += 2;
    } else {
      e.starts.push_back((int)(pos + 1));
      pos += 1;
    }
  }
  if (trim) {
    for (int& start : e.starts) {
      if (start < 0) continue;
      while ((size_t)start < length && t[start] == ' ') ++start;
      size_t end = (size_t)start;
      while (end < length && t[end] != '\0') ++end;
      while (end > 0 && t[end - 1] == ' ') t[--end] = '\0';
    }
  }
  return e;
}

const char* ItemText(const Expected& e, int index) {
  int start = e.starts[index];
  return start < 0 ? "" : e.copy.c_str() + start;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 65536) return -1;
  char delimiter = data[0] != 0 ? (char)data[0] : ',';
  bool trim = data[1] & 1;
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  text.resize(strlen(text.c_str()));

  Expected expected = Reference(text, delimiter, trim);
  int count = (int)expected.starts.size();

  SStringList list;
  FUZZ_CHECK(list.Split(text.c_str(), delimiter, trim, 0) == count);
  FUZZ_CHECK(list.Count() == count);
  for (int i = 0; i < count; ++i) {
    FUZZ_CHECK(list.ItemStart(i) == expected.starts[i]);
    FUZZ_CHECK(strcmp(list.GetItem(i), ItemText(expected, i)) == 0);
    FUZZ_CHECK(list.FindItem(list.GetItem(i)) <= i);
  }
  FUZZ_CHECK(list.GetItem(-1)[0] == '\0' && list.GetItem(count)[0] == '\0');
  FUZZ_CHECK(list.ItemStart(count) == -1);
  // Only what stands before the first zero of the copy is counted.
  const char* head = expected.copy.c_str();
  FUZZ_CHECK(list.CharCount(delimiter) == (int)std::count(head, head + strlen(head), delimiter));

  // A second split replaces everything; its text may lie inside the first.
  std::string last = list.GetItem(count - 1);
  Expected again = Reference(last, delimiter, trim);
  FUZZ_CHECK(list.Split(list.GetItem(count - 1), delimiter, trim, 0) == (int)again.starts.size());
  for (int i = 0; i < list.Count(); ++i) {
    FUZZ_CHECK(strcmp(list.GetItem(i), ItemText(again, i)) == 0);
  }
  return 0;
}
