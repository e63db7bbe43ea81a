#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "launcher/launcher.h"

namespace {

const unsigned char kUntouched = 0xEE;

struct ToHexCase {
  std::vector<unsigned char> bytes;
  int size;
  int result;
  std::string text;  // what the buffer holds up to the first untouched byte
};

TEST(BytesToHex, WritesTwoUpperCaseDigitsPerByteWhenAllFit) {
  const ToHexCase cases[] = {
      {{0x00, 0x1F, 0xA0, 0xFF}, 9, 1, std::string("001FA0FF") + '\0'},
      {{0x00, 0x1F, 0xA0, 0xFF}, 8, 0, "001FA0"},  // no terminator after them
      {{}, 1, 1, std::string(1, '\0')},
      {{0xAB}, 2, 0, ""},
      {{0xAB}, 3, 1, std::string("AB") + '\0'},
      {{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}, 256, 1, std::string("0123456789ABCDEF") + '\0'},
  };
  for (const ToHexCase& c : cases) {
    std::vector<char> buffer(c.size + 4, static_cast<char>(kUntouched));
    EXPECT_EQ(BytesToHex(c.bytes.data(), static_cast<int>(c.bytes.size()), buffer.data(), c.size),
              c.result)
        << "expected " << c.text;
    std::string written;
    for (char ch : buffer) {
      if (static_cast<unsigned char>(ch) == kUntouched) break;
      written.push_back(ch);
    }
    EXPECT_EQ(written, c.text) << "size " << c.size;
  }
}

struct FromHexCase {
  const char* text;
  int length;  // -1: measured
  int size;
  int result;
  std::vector<unsigned char> written;  // bytes before the first untouched one
};

TEST(HexToBytes, ReadsDigitsWithOptionalPrefixAndSuffix) {
  const FromHexCase cases[] = {
      {"0x1234", -1, 8, 2, {0x12, 0x34}},
      {"0X1234L", -1, 8, 2, {0x12, 0x34}},
      {"1234l", -1, 8, 2, {0x12, 0x34}},
      {"123", -1, 8, 2, {0x01, 0x23}},
      {"5", -1, 8, 1, {0x05}},
      {"0x5", -1, 8, 1, {0x05}},
      {"aBcDeF", -1, 3, 3, {0xAB, 0xCD, 0xEF}},
      {"1234", -1, 1, 0, {}},
      {"12G4", -1, 8, 0, {0x12}},
      {"0x", -1, 8, 0, {}},
      {"12LL", -1, 8, 0, {0x01}},
      {"0x0x12", -1, 8, 0, {}},
      {"", -1, 8, 0, {}},
      {"L", -1, 8, 0, {}},
      {"0xL", -1, 8, 0, {}},
      {"abcdef", 4, 8, 2, {0xAB, 0xCD}},
      {"12\xC3\xA9", -1, 8, 0, {0x12}},
  };
  for (const FromHexCase& c : cases) {
    unsigned char bytes[8];
    memset(bytes, kUntouched, sizeof bytes);
    EXPECT_EQ(HexToBytes(c.text, bytes, c.size, c.length), c.result) << '"' << c.text << '"';
    std::vector<unsigned char> written;
    for (unsigned char b : bytes) {
      if (b == kUntouched) break;
      written.push_back(b);
    }
    EXPECT_EQ(written, c.written) << '"' << c.text << '"';
  }
}

TEST(HexToBytes, GivenLengthNeedsNoTerminator) {
  const char digits[4] = {'f', 'f', '0', '1'};  // no terminator anywhere
  unsigned char bytes[2];
  EXPECT_EQ(HexToBytes(digits, bytes, sizeof bytes, 4), 2);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0x01);
}

TEST(HexCodec, EightBytesRoundTrip) {
  const unsigned char identity[8] = {0x39, 0x30, 0x00, 0x00, 0xFE, 0xCA, 0x01, 0x80};
  char text[256];
  ASSERT_EQ(BytesToHex(identity, 8, text, sizeof text), 1);
  EXPECT_STREQ(text, "39300000FECA0180");
  unsigned char back[8] = {};
  EXPECT_EQ(HexToBytes(text, back, 8, 16), 8);
  EXPECT_EQ(memcmp(back, identity, 8), 0);
}

}  // namespace
