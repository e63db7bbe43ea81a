#include "util/stringlist.h"

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <vector>

// Allocation counting: every operator new of this test program goes through
// Allocate(); only allocations made while a CountAllocations object lives are
// counted, so GoogleTest's own are left alone.
namespace {

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};
std::atomic<int> g_releases{0};
size_t g_sizes[16];

void* Allocate(size_t size) {
  if (g_counting.load()) {
    int n = g_allocations.fetch_add(1);
    if (n < 16) g_sizes[n] = size;
  }
  return malloc(size == 0 ? 1 : size);
}

void Release(void* p) {
  if (p != nullptr && g_counting.load()) g_releases.fetch_add(1);
  free(p);
}

struct CountAllocations {
  CountAllocations() {
    g_allocations = 0;
    g_releases = 0;
    g_counting = true;
  }
  ~CountAllocations() { g_counting = false; }
  int allocations() const { return g_allocations.load(); }
  int releases() const { return g_releases.load(); }
};

}  // namespace

void* operator new(size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

constexpr int kEither = -1;

struct SplitCase {
  const char* text;
  char delimiter;
  int trim;  // 0, 1 or kEither
  std::vector<std::string> items;
  std::vector<int> absent;  // items whose start is -1
};

// Checks every item, the count, and exactly which items have the start -1.
void ExpectItems(SStringList& list, const SplitCase& c, const std::string& label) {
  ASSERT_EQ(list.Count(), static_cast<int>(c.items.size())) << label;
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.GetItem(i), c.items[i]) << label << " item " << i;
    EXPECT_EQ(list[i], list.GetItem(i)) << label << " item " << i;
    bool absent = false;
    for (int k : c.absent) absent = absent || k == i;
    if (absent) {
      EXPECT_EQ(list.ItemStart(i), -1) << label << " item " << i;
    } else {
      EXPECT_GE(list.ItemStart(i), 0) << label << " item " << i;
    }
  }
}

TEST(SStringList, SplitsAsTheRulesSay) {
  const SplitCase cases[] = {
      {"a,b,c", ',', kEither, {"a", "b", "c"}, {}},
      {"a,,b", ',', kEither, {"a", "", "b"}, {1}},
      {"a,,,b", ',', kEither, {"a", "", "", "b"}, {1, 2}},
      {",a", ',', kEither, {"", "a"}, {}},
      {"a,b,", ',', kEither, {"a", "b", ""}, {}},
      {"", ',', kEither, {""}, {}},
      {"a;b", ',', kEither, {"a;b"}, {}},
      {"'a,b',c", ',', 0, {"a,b ", "c"}, {}},
      {"'a,b',c", ',', 1, {"a,b", "c"}, {}},
      {"x,\"a,b\",c", ',', 1, {"x", "a,b", "c"}, {}},
      {"'ab'cd,e", ',', kEither, {"ab cd", "e"}, {}},
      {"'a\"b,c", ',', kEither, {"a b", "c"}, {}},
      {"a,'',b", ',', 0, {"a", " ", "b"}, {}},
      {"a,'',b", ',', 1, {"a", "", "b"}, {}},
      {"it's,ok", ',', kEither, {"it's", "ok"}, {}},
      {"a,'b", ',', kEither, {"a", "b"}, {}},
      {"  a  , b ,   ,c", ',', 0, {"  a  ", " b ", "   ", "c"}, {}},
      {"  a  , b ,   ,c", ',', 1, {"a", "b", "", "c"}, {}},
      {"a, 'b,c' ,d", ',', 1, {"a", "'b", "c'", "d"}, {}},
      {"one two  three", ' ', kEither, {"one", "two", "", "three"}, {2}},
      // Hostile shapes: nothing may be read or written outside the copy.
      {",", ',', kEither, {"", ""}, {}},
      {",,", ',', kEither, {"", "", ""}, {1}},
      {"''''", ',', 0, {" ''"}, {}},
      {"''''", ',', 1, {"''"}, {}},
      {"\"", ',', kEither, {""}, {}},
      {"',", ',', kEither, {","}, {}},
      {"a,'", ',', kEither, {"a", ""}, {}},
      {"a,'b,c", ',', kEither, {"a", "b,c"}, {}},
      {"a,'b,c',", ',', 1, {"a", "b,c", ""}, {}},
      {"' ',b", ',', 1, {"", "b"}, {}},
      {"\ta ,b\t", ',', 1, {"\ta", "b\t"}, {}},
      {"a''b", '\'', kEither, {"a", "", "b"}, {1}},
      {"\xe9t\xe9,\x80\xff", ',', kEither, {"\xe9t\xe9", "\x80\xff"}, {}},
      {"\x80\xff\xff\xfe\xff", '\xff', kEither, {"\x80", "", "\xfe", ""}, {1}},
      // A zero delimiter never cuts.
      {"abcdefghij,k", '\0', kEither, {"abcdefghij,k"}, {}},
  };
  for (const SplitCase& c : cases) {
    for (int trim = 0; trim <= 1; ++trim) {
      if (c.trim != kEither && c.trim != trim) continue;
      // The last argument changes nothing.
      for (int flag : {0, 1, -7}) {
        std::string label = std::string("\"") + c.text + "\" trim=" + std::to_string(trim) +
                            " flag=" + std::to_string(flag);
        SStringList list;
        EXPECT_EQ(list.Split(c.text, c.delimiter, trim, flag), static_cast<int>(c.items.size()))
            << label;
        ExpectItems(list, c, label);
      }
      SStringList constructed(c.text, c.delimiter, trim, 0);
      ExpectItems(constructed, c, std::string("constructed \"") + c.text + "\"");
    }
  }
}

// The rules applied one character at a time, to check the word-at-a-time
// scan on texts whose delimiters and quotes fall anywhere in a word.
struct ReferenceItems {
  std::vector<std::string> items;
  std::vector<int> starts;
};

ReferenceItems ReferenceSplit(const std::string& text, char delimiter, bool trim) {
  auto is_quote = [](char c) { return c == '\'' || c == '"'; };
  std::string copy = text;
  const size_t length = copy.size();
  ReferenceItems out;
  bool quoted = false;
  size_t pos = 0;
  if (length > 0 && is_quote(copy[0])) {
    quoted = true;
    pos = 1;
  }
  out.starts.push_back(static_cast<int>(pos));
  for (; pos < length; ++pos) {
    const char c = copy[pos];
    if (quoted && is_quote(c)) {
      copy[pos] = ' ';
      quoted = false;
    } else if (!quoted && c == delimiter) {
      copy[pos] = '\0';
      const char next = pos + 1 < length ? copy[pos + 1] : '\0';
      if (next == delimiter) {
        out.starts.push_back(-1);
      } else if (is_quote(next)) {
        quoted = true;
        out.starts.push_back(static_cast<int>(pos + 2));
        ++pos;
      } else {
        out.starts.push_back(static_cast<int>(pos + 1));
      }
    }
  }
  for (int start : out.starts) {
    std::string item = start < 0 ? "" : std::string(copy.c_str() + start);
    if (trim && start >= 0) {
      item.erase(0, std::min(item.find_first_not_of(' '), item.size()));
      item.erase(item.find_last_not_of(' ') + 1);
    }
    out.items.push_back(item);
  }
  return out;
}

TEST(SStringList, MatchesTheRulesOnGeneratedTexts) {
  const char alphabet[] = {'a', 'b', ' ', ',', '\'', '"', '\xff', '\t'};
  const char delimiters[] = {',', ' ', '\'', '\xff'};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % range;
  };
  SStringList list;
  SStringList counter;
  for (int round = 0; round < 20000; ++round) {
    std::string text(next(41), 'a');
    for (char& c : text) c = alphabet[next(sizeof alphabet)];
    const char delimiter = delimiters[next(sizeof delimiters)];
    const bool trim = next(2) == 1;
    const ReferenceItems want = ReferenceSplit(text, delimiter, trim);
    ASSERT_EQ(list.Split(text.c_str(), delimiter, trim, 0), static_cast<int>(want.items.size()))
        << "\"" << text << "\" delimiter " << int(delimiter);
    for (int i = 0; i < list.Count(); ++i) {
      ASSERT_EQ(list.GetItem(i), want.items[i]) << "\"" << text << "\" item " << i;
      ASSERT_EQ(list.ItemStart(i) == -1, want.starts[i] == -1) << "\"" << text << "\" item " << i;
      if (!trim) {
        ASSERT_EQ(list.ItemStart(i), want.starts[i]) << "\"" << text << "\" item " << i;
      }
    }
    // Counting on an uncut copy (no 0x01 in the text, so nothing is cut).
    counter.Split(text.c_str(), '\x01', 0, 0);
    for (char c : {',', 'a', '\xff'}) {
      ASSERT_EQ(counter.CharCount(c), static_cast<int>(std::count(text.begin(), text.end(), c)))
          << "\"" << text << "\"";
    }
  }
}

TEST(SStringList, EmptyListAndOutOfRangeReadAsEmpty) {
  SStringList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_STREQ(list.GetItem(0), "");
  EXPECT_STREQ(list[0], "");
  EXPECT_EQ(list.GetItemAsInt(0), 0);
  EXPECT_EQ(list.FindItem(""), -1);
  EXPECT_EQ(list.CharCount('a'), 0);
  list.TrimItems();
  EXPECT_EQ(list.IndexList(',', 1, 0), 0);

  list.Split("5,6", ',', 0, 0);
  const char* empty = list.GetItem(-1);
  EXPECT_STREQ(empty, "");
  EXPECT_EQ(list.GetItem(2), empty);
  EXPECT_EQ(list.GetItem(INT32_MIN), empty);
  EXPECT_EQ(list.GetItemAsInt(-1), 0);
  EXPECT_EQ(list.GetItemAsInt(list.Count()), 0);
  EXPECT_EQ(list.GetItemAsFloat(list.Count()), 0.0f);
  EXPECT_EQ(list.ItemStart(2), -1);
  // The same static string for every list.
  SStringList other;
  EXPECT_EQ(other.GetItem(0), empty);
}

TEST(SStringList, ConvertsAndFinds) {
  SStringList list("7,2.5,x, 42,12abc,,-3", ',', 0, 0);
  EXPECT_EQ(list.GetItemAsInt(0), 7);
  EXPECT_FLOAT_EQ(list.GetItemAsFloat(1), 2.5f);
  EXPECT_EQ(list.GetItemAsInt(2), 0);
  EXPECT_EQ(list.GetItemAsInt(3), 42);
  EXPECT_EQ(list.GetItemAsInt(4), 12);
  EXPECT_EQ(list.GetItemAsInt(5), 0);
  EXPECT_EQ(list.GetItemAsFloat(5), 0.0f);
  EXPECT_FLOAT_EQ(list.GetItemAsFloat(6), -3.0f);

  list.Split("a,,b", ',', 0, 0);
  EXPECT_EQ(list.FindItem(""), 1);
  EXPECT_EQ(list.FindItem("b"), 2);
  EXPECT_EQ(list.FindItem("B"), -1);
  EXPECT_EQ(list.FindItem("a,"), -1);
  // An empty first item is found before a later absent one.
  list.Split(",x,,y", ',', 0, 0);
  EXPECT_EQ(list.FindItem(""), 0);
  EXPECT_EQ(list.FindItem("y"), 3);
}

TEST(SStringList, CharCountStopsAtTheFirstCut) {
  SStringList list("ab,ba,b", ',', 0, 0);
  EXPECT_EQ(list.CharCount(','), 0);
  EXPECT_EQ(list.CharCount('b'), 1);
  EXPECT_EQ(list.CharCount('a'), 1);
  EXPECT_EQ(list.CharCount('\0'), 0);
}

TEST(SStringList, SecondSplitReplacesTheFirst) {
  SStringList list("a,b,c,d,e", ',', 1, 0);
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Split("x;,y", ';', 0, 0), 2);
  EXPECT_STREQ(list.GetItem(0), "x");
  EXPECT_STREQ(list.GetItem(1), ",y");
  EXPECT_STREQ(list.GetItem(2), "");
  EXPECT_EQ(list.FindItem("c"), -1);

  // A text that lies inside the list's own copy still splits correctly.
  list.Split("keep,p:q", ',', 0, 0);
  EXPECT_EQ(list.Split(list.GetItem(1), ':', 0, 0), 2);
  EXPECT_STREQ(list.GetItem(0), "p");
  EXPECT_STREQ(list.GetItem(1), "q");

  // A null text reads as the empty text.
  EXPECT_EQ(list.Split(nullptr, ',', 0, 0), 1);
  EXPECT_STREQ(list.GetItem(0), "");
}

TEST(SStringList, TrimItemsAfterAPlainSplitMatchesATrimmedSplit) {
  const char* text = "  a  ,, b\t ,   ,c ";
  SStringList plain(text, ',', 0, 0);
  plain.TrimItems();
  plain.TrimItems();  // a second pass changes nothing
  SStringList trimmed(text, ',', 1, 0);
  ASSERT_EQ(plain.Count(), 5);
  ASSERT_EQ(trimmed.Count(), 5);
  const char* expected[] = {"a", "", "b\t", "", "c"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(plain.GetItem(i), expected[i]) << i;
    EXPECT_STREQ(trimmed.GetItem(i), expected[i]) << i;
    EXPECT_EQ(plain.ItemStart(i), trimmed.ItemStart(i)) << i;
  }
  EXPECT_EQ(plain.ItemStart(1), -1);
  EXPECT_GE(plain.ItemStart(3), 0);
}

TEST(SStringList, SplitMakesTwoAllocationsAndReadingNone) {
  SStringList* list = nullptr;
  {
    CountAllocations counter;
    SStringList local("'a,b',c", ',', 1, 0);
    EXPECT_EQ(counter.allocations(), 2);
    // The copy with its terminator, and one slot per delimiter plus one.
    EXPECT_EQ(g_sizes[0], strlen("'a,b',c") + 1);
    EXPECT_EQ(g_sizes[1], 3 * sizeof(int32_t));
  }
  {
    CountAllocations counter;
    list = new SStringList();
    list->Split("7,2.5,  x  ,,y", ',', 1, 0);
    EXPECT_EQ(counter.allocations(), 3);  // the object itself, then the split's two
    list->Split("1,2", ',', 0, 0);
    EXPECT_EQ(counter.allocations(), 5);
    EXPECT_EQ(counter.releases(), 2);  // the first split's arrays
  }
  {
    CountAllocations counter;
    int sum = 0;
    for (int i = -1; i <= list->Count(); ++i) {
      sum += static_cast<int>(strlen(list->GetItem(i))) + static_cast<int>(strlen((*list)[i]));
      sum += list->GetItemAsInt(i) + static_cast<int>(list->GetItemAsFloat(i));
      sum += list->ItemStart(i);
    }
    sum += list->FindItem("2") + list->FindItem("none") + list->CharCount('1') + list->Count();
    list->TrimItems();
    EXPECT_EQ(counter.allocations(), 0);
    EXPECT_NE(sum, 0);
  }
  {
    CountAllocations counter;
    delete list;  // through the virtual destructor
    EXPECT_EQ(counter.releases(), 3);
  }
}

TEST(SStringList, LargeAndHostileTexts) {
  // 1 MB: 65536 items of 15 characters.
  std::string big;
  for (int i = 0; i < 65536; ++i) {
    char item[17];
    snprintf(item, sizeof item, "%014d%c,", i, i % 2 ? '\'' : ' ');
    big += item;
  }
  big.pop_back();
  SStringList list(big.c_str(), ',', 1, 0);
  ASSERT_EQ(list.Count(), 65536);
  for (int i = 0; i < 65536; i += 4099) {
    char item[17];
    snprintf(item, sizeof item, "%014d%s", i, i % 2 ? "'" : "");
    EXPECT_STREQ(list.GetItem(i), item) << i;
  }
  EXPECT_EQ(list.GetItemAsInt(65535), 65535);
  SStringList uncut(big.c_str(), '\x01', 0, 0);
  EXPECT_EQ(uncut.CharCount(','), 65535);

  // 1 MB of delimiters: empty first and last items, absent ones between.
  std::string commas(1 << 20, ',');
  ASSERT_EQ(list.Split(commas.c_str(), ',', 1, 0), (1 << 20) + 1);
  EXPECT_EQ(list.ItemStart(0), 0);
  EXPECT_EQ(list.ItemStart(1), -1);
  EXPECT_EQ(list.ItemStart(1 << 19), -1);
  EXPECT_EQ(list.ItemStart(1 << 20), 1 << 20);
  EXPECT_STREQ(list.GetItem(1 << 20), "");
  uncut.Split(commas.c_str(), '\x01', 0, 0);
  EXPECT_EQ(uncut.CharCount(','), 1 << 20);

  // 1 MB of quotes: one item, the opening quote dropped and the closing one
  // turned into a space.
  std::string quotes(1 << 20, '"');
  ASSERT_EQ(list.Split(quotes.c_str(), ',', 0, 0), 1);
  EXPECT_EQ(strlen(list.GetItem(0)), (1u << 20) - 1);
  EXPECT_EQ(list.GetItem(0)[0], ' ');
  EXPECT_EQ(list.GetItem(0)[1], '"');

  // Every byte from 0x80 to 0xFE, cut by 0xFF.
  std::string high;
  for (int b = 0x80; b < 0xFF; ++b) {
    high += static_cast<char>(b);
    high += '\xff';
  }
  ASSERT_EQ(list.Split(high.c_str(), '\xff', 1, 0), 128);
  for (int b = 0x80; b < 0xFF; ++b) {
    EXPECT_EQ(std::string(list.GetItem(b - 0x80)), std::string(1, static_cast<char>(b)));
  }
  EXPECT_STREQ(list.GetItem(127), "");

  // An unclosed quote runs to the end, across every delimiter.
  std::string unclosed = "a,\"";
  for (int i = 0; i < (1 << 18); ++i) unclosed += "abc,";
  ASSERT_EQ(list.Split(unclosed.c_str(), ',', 0, 0), 2);
  EXPECT_EQ(strlen(list.GetItem(1)), unclosed.size() - 3);
}

// Engine modules compiled against this header read the object's memory
// directly (inline code, virtual calls), so its shape is fixed.
TEST(SStringList, LayoutIsVtableThenTextStartsCount) {
  static_assert(sizeof(void*) != 8 || sizeof(SStringList) == 32);
  SStringList list("ab,,c", ',', 0, 0);
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(&list);
  char* text = nullptr;
  int32_t* starts = nullptr;
  int32_t count = 0;
  memcpy(&text, raw + sizeof(void*), sizeof text);
  memcpy(&starts, raw + 2 * sizeof(void*), sizeof starts);
  memcpy(&count, raw + 3 * sizeof(void*), sizeof count);
  EXPECT_EQ(text, list.GetItem(0));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(starts[0], 0);
  EXPECT_EQ(starts[1], -1);
  EXPECT_EQ(starts[2], 4);

#if defined(__GXX_ABI_VERSION)
  // Itanium C++ ABI: the virtual destructor takes the first two slots
  // (complete and deleting), operator[] follows.
  typedef const char* (*ItemFunction)(SStringList*, int);
  void** vtable = nullptr;
  memcpy(&vtable, raw, sizeof vtable);
  ItemFunction item = reinterpret_cast<ItemFunction>(vtable[2]);
  EXPECT_STREQ(item(&list, 2), "c");
#endif
}

}  // namespace
