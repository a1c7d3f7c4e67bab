#include "packer/lenient_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PackerLenientText, Utf8ToUtf16ReplacesWhatIsNoText) {
  EXPECT_EQ(LenientUtf16("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80"), u"Grüße € \U0001F600");
  // A byte of an ANSI code page, a cut sequence, an overlong form and a surrogate.
  EXPECT_EQ(LenientUtf16("Gr\xFC\xDF" "e"), u"Gr\uFFFD\uFFFDe");
  EXPECT_EQ(LenientUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(LenientUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(LenientUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
}

TEST(PackerLenientText, CompletePrefixHoldsBackACutCharacter) {
  const std::string euro = "\xE2\x82\xAC";
  EXPECT_EQ(CompleteUtf8Prefix("abc"), 3u);
  EXPECT_EQ(CompleteUtf8Prefix("ab" + euro), 5u);
  EXPECT_EQ(CompleteUtf8Prefix("ab" + euro.substr(0, 1)), 2u);
  EXPECT_EQ(CompleteUtf8Prefix("ab" + euro.substr(0, 2)), 2u);
  EXPECT_EQ(CompleteUtf8Prefix("\xF0\x9F\x98"), 0u);
  // Bytes that start nothing are not held back: they are shown as replacements.
  EXPECT_EQ(CompleteUtf8Prefix("ab\x80\x80\x80\x80"), 6u);
  EXPECT_EQ(CompleteUtf8Prefix(""), 0u);
}

}  // namespace
