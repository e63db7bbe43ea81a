// SStringList: items are cut in place in the list's own copy of the text.
#include "util/stringlist.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <new>

namespace {

// What an absent or empty item reads as; shared by every list.
const char s_Empty[1] = {'\0'};

bool IsQuote(char c) { return c == '\'' || c == '"'; }

int CountChar(const char* text, size_t length, char ch) {
  int count = 0;
  const char* end = text + length;
  for (const char* p = text; p < end; ++p) {
    p = static_cast<const char*>(memchr(p, ch, static_cast<size_t>(end - p)));
    if (p == nullptr) break;
    ++count;
  }
  return count;
}

}  // namespace

SStringList::SStringList() {
  InitVars();
}

SStringList::SStringList(const char* text, char delimiter, int trim, int flag) {
  InitVars();
  Split(text, delimiter, trim, flag);
}

SStringList::~SStringList() {
  delete[] m_Text;
  delete[] m_ItemStarts;
}

void SStringList::InitVars() {
  m_Text = nullptr;
  m_ItemStarts = nullptr;
  m_ItemCount = 0;
}

int SStringList::Split(const char* text, char delimiter, int trim, int flag) {
  if (text == nullptr) text = "";
  size_t length = strlen(text);
  // Item starts are 32-bit positions; a longer text cannot be indexed.
  char* copy = length < INT_MAX ? new (std::nothrow) char[length + 1] : nullptr;
  if (copy != nullptr) memcpy(copy, text, length + 1);
  // The old copy goes only now, so that a text lying inside it was still
  // readable above.
  delete[] m_Text;
  delete[] m_ItemStarts;
  m_Text = copy;
  m_ItemStarts = nullptr;
  m_ItemCount = 0;
  if (copy == nullptr) return 0;
  return IndexList(delimiter, trim, flag);
}

int SStringList::CharCount(char ch) {
  if (m_Text == nullptr) return 0;
  return CountChar(m_Text, strlen(m_Text), ch);
}

int SStringList::IndexList(char delimiter, int trim, int flag) {
  (void)flag;
  delete[] m_ItemStarts;
  m_ItemStarts = nullptr;
  m_ItemCount = 0;
  if (m_Text == nullptr) return 0;

  char* text = m_Text;
  const size_t length = strlen(text);
  // Every item but the first begins at a delimiter, so the delimiters (quoted
  // ones included) bound the item count.
  const int slots = CountChar(text, length, delimiter) + 1;
  m_ItemStarts = new (std::nothrow) int32_t[slots];
  if (m_ItemStarts == nullptr) return 0;

  size_t pos = 0;
  bool quoted = false;
  if (IsQuote(text[0])) {
    quoted = true;
    pos = 1;
  }
  int count = 0;
  m_ItemStarts[count++] = static_cast<int32_t>(pos);
  while (pos < length) {
    if (quoted) {
      // Inside a quoted section only a quote matters, of either kind: it
      // closes the section and stays in the item as a space.
      while (pos < length && !IsQuote(text[pos])) ++pos;
      if (pos == length) break;
      text[pos++] = ' ';
      quoted = false;
      continue;
    }
    const char* cut = static_cast<const char*>(memchr(text + pos, delimiter, length - pos));
    if (cut == nullptr) break;
    pos = static_cast<size_t>(cut - text);
    text[pos] = '\0';
    // At worst the copy's terminator, which is neither a delimiter nor a quote.
    const char next = text[pos + 1];
    if (next == delimiter) {
      m_ItemStarts[count++] = -1;  // the next character cuts again
      pos += 1;
    } else if (IsQuote(next)) {
      quoted = true;
      m_ItemStarts[count++] = static_cast<int32_t>(pos + 2);
      pos += 2;
    } else {
      m_ItemStarts[count++] = static_cast<int32_t>(pos + 1);
      pos += 1;
    }
  }
  m_ItemCount = count;
  if (trim) TrimItems();
  return count;
}

void SStringList::TrimItems() {
  for (int i = 0; i < m_ItemCount; ++i) {
    int start = m_ItemStarts[i];
    if (start < 0) continue;
    while (m_Text[start] == ' ') ++start;
    m_ItemStarts[i] = start;
    // Backwards from the item's end; an item of only spaces is zeroed back
    // to the zero or quote in front of it, or to the beginning of the copy.
    int end = start + static_cast<int>(strlen(m_Text + start));
    while (end > 0 && m_Text[end - 1] == ' ') m_Text[--end] = '\0';
  }
}

const char* SStringList::GetItem(int index) {
  if (index < 0 || index >= m_ItemCount || m_ItemStarts[index] < 0) return s_Empty;
  return m_Text + m_ItemStarts[index];
}

int SStringList::GetItemAsInt(int index) {
  return atoi(GetItem(index));
}

float SStringList::GetItemAsFloat(int index) {
  return static_cast<float>(atof(GetItem(index)));
}

const char* SStringList::operator[](int index) {
  return GetItem(index);
}

int SStringList::FindItem(const char* text) {
  if (text == nullptr) return -1;
  for (int i = 0; i < m_ItemCount; ++i) {
    if (strcmp(GetItem(i), text) == 0) return i;
  }
  return -1;
}

int SStringList::Count() {
  return m_ItemCount;
}

int SStringList::ItemStart(int index) {
  if (index < 0 || index >= m_ItemCount) return -1;
  return m_ItemStarts[index];
}
