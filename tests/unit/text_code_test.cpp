#include "core/encoding/text_code.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Decode(std::string_view stored) {
  std::string out;
  const size_t count = DecodeTextCode(stored, out);
  EXPECT_EQ(count, out.size());
  return out;
}

TEST(DecodeTextCode, DecodesCharacterRangesAndShortGroups) {
  struct Case {
    std::string stored;
    std::string bytes;
  } cases[] = {
      {"", ""},
      {"9", "\x09"},
      {"A", "\x0A"},        // first letter range starts at 10
      {"[", "\x24"},        // and ends at 36
      {"a", "\x25"},        // second letter range starts at 37
      {"{", "\x3F"},        // and ends at 63
      {"{3", "\xFF"},       // two characters still make one byte
      {"{{F", std::string("\xFF\xFF", 2)},
      {"{{{{", std::string("\xFF\xFF\xFF", 3)},
      {"1000", std::string("\x01\x00\x00", 3)},
      {"10000", std::string("\x01\x00\x00\x00", 4)},  // five characters give four bytes
      {"!", std::string("\x00", 1)},                  // unknown characters count as 0
      {"1!!1", std::string("\x01\x00\x04", 3)},       // ... and do not stop decoding
      {std::string("12\0" "34", 5), "\x81"},          // the input ends at a zero byte
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(c.stored), c.bytes) << "stored \"" << c.stored << "\"";
  }
}

TEST(DecodeTextCode, AppendsToWhatIsThere) {
  std::string out = "ab";
  EXPECT_EQ(DecodeTextCode("9", out), 1u);
  EXPECT_EQ(out, "ab\x09");
}

TEST(DecodeTextCode, LengthFollowsTheGroupRule) {
  const size_t expected[] = {0, 1, 1, 2, 3, 4, 4, 5, 6};
  for (size_t n = 0; n < std::size(expected); ++n) {
    EXPECT_EQ(Decode(std::string(n, 'Z')).size(), expected[n]) << n << " characters";
  }
}

TEST(EncodeTextCode, RoundTripsEveryByteInEveryTailPosition) {
  // Every byte value at the end of strings of length 1, 2 and 3 exercises all tails.
  for (int value = 0; value < 256; ++value) {
    for (size_t prefix = 0; prefix < 3; ++prefix) {
      std::string bytes(prefix, '\x5A');
      bytes.push_back(static_cast<char>(value));
      const std::string stored = EncodeTextCode(bytes);
      EXPECT_EQ(stored.find('\0'), std::string::npos);
      EXPECT_EQ(Decode(stored), bytes) << "byte " << value << " after " << prefix;
    }
  }
}

TEST(EncodeTextCode, RoundTripsTextWithZeroBytes) {
  const std::string utf16le("P\0a\0s\0s\0\xE4\0", 10);
  EXPECT_EQ(Decode(EncodeTextCode(utf16le)), utf16le);
  EXPECT_EQ(EncodeTextCode(""), "");
}

TEST(EncodeTextCode, UsesOneCharacterForASmallLastByte) {
  EXPECT_EQ(EncodeTextCode("\x09"), "9");
  EXPECT_EQ(EncodeTextCode("\xFF"), "{3");
}

}  // namespace
