// Hex codec: bytes as upper-case hex text and back. Works only in the
// caller's buffers.
#include <string.h>

#include "launcher/launcher.h"

static const char s_digits[] = "0123456789ABCDEF";

int BytesToHex(const unsigned char* bytes, int count, char* text, int size) {
  if (count < 0 || size < 1) return 0;
  // Two digits per byte and the terminator after them must fit; the sums are
  // taken in long long so that no count can overflow them.
  for (int i = 0; i < count; ++i) {
    if ((long long)size - 2LL * (i + 1) <= 0) return 0;
    text[2 * i] = s_digits[bytes[i] >> 4];
    text[2 * i + 1] = s_digits[bytes[i] & 0x0F];
  }
  text[2LL * count] = '\0';
  return 1;
}

static int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int HexToBytes(const char* text, unsigned char* bytes, int size, int length) {
  long long n = length >= 0 ? length : (long long)strlen(text);
  const char* p = text;
  if (n > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
    n -= 2;
  }
  if (n > 0 && (p[n - 1] == 'l' || p[n - 1] == 'L')) --n;

  long long count = (n + 1) / 2;
  if (count == 0 || size < count) return 0;

  // An odd number of digits reads as a number right-aligned in the bytes:
  // the first digit alone makes the first byte.
  long long out = 0;
  if (n % 2 == 1) {
    int v = DigitValue(p[0]);
    if (v < 0) return 0;
    bytes[out++] = (unsigned char)v;
    ++p;
    --n;
  }
  for (; n > 0; p += 2, n -= 2) {
    int hi = DigitValue(p[0]);
    int lo = hi < 0 ? -1 : DigitValue(p[1]);
    if (lo < 0) return 0;
    bytes[out++] = (unsigned char)(hi * 16 + lo);
  }
  return (int)count;
}
