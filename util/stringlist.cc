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

// The scans below look at eight bytes at a time and handle every delimiter
// of a word from one bit mask: a call or a dependent search per item (memchr)
// costs more than the search itself on short items.
//
// 0x80 in every byte of `word` equal to the byte repeated in `pattern`, 0 in
// all others. Exact: no carry crosses a byte, so there are no false matches.
uint64_t MatchMask(uint64_t word, uint64_t pattern) {
  const uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t x = word ^ pattern;  // a matching byte is now 0
  return ~(((x & low7) + low7) | x | low7);
}

uint64_t Repeat(char ch) {
  return 0x0101010101010101ULL * static_cast<unsigned char>(ch);
}

// `n` (at most 8) bytes from `p`, the first in the lowest byte of the result
// whatever the machine's byte order; missing bytes are 0.
uint64_t LoadWord(const char* p, size_t n) {
  uint64_t word = 0;
  if (n == 8) {
    memcpy(&word, p, 8);
  } else {
    memcpy(&word, p, n);
  }
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

int CountChar(const char* text, size_t length, char ch) {
  const uint64_t pattern = Repeat(ch);
  int count = 0;
  size_t pos = 0;
  while (pos + 8 <= length) {
    // Up to 255 words add their matches (0x01 per matching byte) into eight
    // byte-wide sums, which cannot overflow; then the sums are added up.
    const size_t words = (length - pos) / 8 < 255 ? (length - pos) / 8 : 255;
    uint64_t sums = 0;
    for (size_t i = 0; i < words; ++i, pos += 8) {
      sums += MatchMask(LoadWord(text + pos, 8), pattern) >> 7;
    }
    sums = (sums & 0x00FF00FF00FF00FFULL) + ((sums >> 8) & 0x00FF00FF00FF00FFULL);
    count += static_cast<int>((sums * 0x0001000100010001ULL) >> 48);
  }
  for (; pos < length; ++pos) count += text[pos] == ch;
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
  // A local copy: the compiler must otherwise assume that every write into
  // the text may change the member.
  int32_t* starts = m_ItemStarts;

  const uint64_t pattern = Repeat(delimiter);
  size_t pos = 0;
  bool quoted = false;
  if (IsQuote(text[0])) {
    quoted = true;
    pos = 1;
  }
  int count = 0;
  starts[count++] = static_cast<int32_t>(pos);
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
    // Words without a delimiter are skipped; the last, short word is read
    // without its padding.
    uint64_t mask = 0;
    while (pos + 8 <= length && (mask = MatchMask(LoadWord(text + pos, 8), pattern)) == 0) {
      pos += 8;
    }
    const size_t base = pos;
    if (mask != 0) {
      pos += 8;
    } else {
      if (pos == length) break;
      const size_t n = length - pos;
      mask = MatchMask(LoadWord(text + pos, n), pattern) & ((uint64_t{1} << (8 * n)) - 1);
      pos = length;
    }
    while (mask != 0) {
      const size_t at = base + static_cast<size_t>(__builtin_ctzll(mask)) / 8;
      mask &= mask - 1;
      text[at] = '\0';
      // At worst the copy's terminator, which is neither a delimiter nor a quote.
      const char next = text[at + 1];
      if (next == delimiter) {
        starts[count++] = -1;  // the next character cuts again
      } else if (IsQuote(next)) {
        quoted = true;
        starts[count++] = static_cast<int32_t>(at + 2);
        pos = at + 2;  // the rest of this word is scanned in quote mode
        break;
      } else {
        starts[count++] = static_cast<int32_t>(at + 1);
      }
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
