// SStringList: one line of text cut into items at a delimiter character, with
// simple quoting and optional trimming of spaces.
//
// The list keeps its own copy of the text and cuts that copy in place: every
// item is a zero-terminated stretch of the copy. A split makes two
// allocations (the copy and the item-starts array); reading, converting and
// searching make none.
//
// Splitting rules:
//  - Each delimiter cuts, except inside a quoted section. Two adjacent
//    delimiters give an empty item (its start is -1; it reads as "").
//  - A quote (' or ") opens a quoted section only as the very first character
//    of an item; the opening quote is not part of the item. Either kind of
//    quote closes the section and stays in the item as a space; the item runs
//    on to the next cutting delimiter. An unclosed section runs to the end.
//  - With trimming, spaces (0x20 only) around each item are removed.
//
//   SStringList list("a, 'b,c' ,d", ',', 1, 0);   // "a", "'b", "c'", "d"
//
// The class is exported from the launcher executable; engine modules use it
// by including this header. Its layout (the virtual destructor, then the
// virtual operator[]; the text copy, the item starts, the item count) and the
// member functions' names and parameter types are part of that interface and
// stay as they are. Member functions are deliberately not const-qualified, as
// that would change their linker names.
//
// A list is used by one thread at a time. It cannot be copied or assigned.
#ifndef ORVAN_UTIL_STRINGLIST_H
#define ORVAN_UTIL_STRINGLIST_H

#include <stdint.h>

class SStringList {
 public:
  // An empty list: no text, count 0.
  SStringList();
  // An empty list, then Split(text, delimiter, trim, flag).
  SStringList(const char* text, char delimiter, int trim, int flag);
  virtual ~SStringList();

  SStringList(const SStringList&) = delete;
  SStringList& operator=(const SStringList&) = delete;

  // Replaces the list's content by the items of `text` and returns their
  // count (at least 1: the empty text is one empty item). `delimiter` is a
  // nonzero character (the space works too); nonzero `trim` strips spaces
  // around each item; `flag` has no effect. Item texts of the previous split
  // become invalid. A null `text` reads as the empty text. When memory runs
  // out the list ends up empty and the result is 0.
  int Split(const char* text, char delimiter, int trim, int flag);

  // Sets the fields to "no text, no items" without releasing anything: only
  // for raw memory that has not been constructed yet.
  void InitVars();

  // Number of characters equal to `ch` in the text copy, up to its first zero
  // character (after a split: up to the end of the first item).
  int CharCount(char ch);

  // The cutting step of Split, run on the text copy as it stands. Returns the
  // item count.
  int IndexList(char delimiter, int trim, int flag);

  // Strips spaces (0x20 only; tabs stay) from both ends of every item.
  void TrimItems();

  // The text of item `index`: valid until the next Split or the list's end;
  // do not write through it or free it. An index outside 0..Count()-1 and an
  // empty item give a static empty string.
  const char* GetItem(int index);
  // The item through atoi / atof: "" gives 0, " 42" 42, "12abc" 12.
  int GetItemAsInt(int index);
  float GetItemAsFloat(int index);
  // Same as GetItem.
  virtual const char* operator[](int index);

  // Index of the first item equal to `text` (strcmp), or -1. "" finds the
  // first empty item.
  int FindItem(const char* text);

  int Count();

  // Where item `index` begins in the text copy, or -1 for an item that is
  // empty because two delimiters stood side by side; -1 also for an index
  // outside 0..Count()-1.
  int ItemStart(int index);

 private:
  char* m_Text;            // own copy of the last text split, cut in place
  int32_t* m_ItemStarts;   // one slot per delimiter in the text, plus one
  int32_t m_ItemCount;
};

#endif
