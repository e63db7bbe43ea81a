// The hex codec's reader: arbitrary text into HexToBytes, with and without a
// given length, into a byte buffer of exactly the size the call is told.
//
// Input: byte 0 picks the byte buffer's size (0 to 63), byte 1 whether the
// length is given; the rest is the text. A given length reads exactly that
// many characters of an unterminated copy, so a read past them shows.
#include <ctype.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "launcher/launcher.h"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The accepted texts, told apart without the codec's own steps: the digits
// left after an optional "0x" (only when more follows) and one optional "L".
// Returns the digits, or false when the text is rejected.
bool Digits(std::string text, std::string* digits) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (!text.empty() && (text.back() == 'l' || text.back() == 'L')) text.pop_back();
  for (char c : text) {
    if (DigitValue(c) < 0) return false;
  }
  *digits = text;
  return !text.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return -1;
  int bufferSize = data[0] % 64;
  bool givenLength = data[1] & 1;
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  // Exactly the bytes the call may touch, each on the heap so that the
  // address sanitizer sees one byte beyond.
  std::vector<char> exact(text.begin(), text.end());
  if (!givenLength) {
    exact.push_back('\0');
    text = std::string(exact.data());  // what a terminated text holds
  }
  char* in = new char[exact.size()];
  if (!exact.empty()) memcpy(in, exact.data(), exact.size());
  unsigned char* out = new unsigned char[bufferSize > 0 ? bufferSize : 1];

  int got = HexToBytes(in, out, bufferSize, givenLength ? (int)text.size() : -1);

  std::string digits;
  bool accepted = Digits(text, &digits);
  int count = accepted ? (int)(digits.size() + 1) / 2 : 0;
  if (!accepted || count > bufferSize) {
    FUZZ_CHECK(got == 0);
  } else {
    FUZZ_CHECK(got == count);
    // Back to hex: the same digits, upper case, with a leading zero for an
    // odd count.
    char* hex = new char[2 * got + 1];
    FUZZ_CHECK(BytesToHex(out, got, hex, 2 * got + 1) == 1);
    std::string expected = (digits.size() % 2 ? "0" : "") + digits;
    for (char& c : expected) c = (char)toupper((unsigned char)c);
    FUZZ_CHECK(expected == hex);
    FUZZ_CHECK(BytesToHex(out, got, hex, 2 * got) == 0);
    delete[] hex;
  }
  delete[] in;
  delete[] out;
  return 0;
}
