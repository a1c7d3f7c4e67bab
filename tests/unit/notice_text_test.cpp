// How the start notice's bytes are taken: UTF-16 (with or without a mark), RTF,
// UTF-8 (with or without a mark) and ANSI, and where macros are expanded.
#include "core/messages/notice_text.h"

#include <gtest/gtest.h>

#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

namespace {

std::string Utf16Le(const std::u16string& text) { return StringToUtf16LeBytes(text); }

class NoticeTextTest : public ::testing::Test {
 protected:
  NoticeTextTest() { macros.Set(u"APPNAME", u"Ledger Pro"); }
  MacroExpander macros;
};

struct ContentCase {
  const char* name;
  std::string bytes;
  NoticeFormat format;
  std::u16string shown;  // Utf16: the text without its mark
  std::string narrow;    // Rtf and Ansi
};

TEST_F(NoticeTextTest, EachKindIsConvertedAndExpandedWhereItShouldBe) {
  const ContentCase cases[] = {
      {"utf-16 with mark", Utf16Le(u"\uFEFFWelcome to <?APPNAME?>"), NoticeFormat::Utf16,
       u"Welcome to Ledger Pro", ""},
      {"utf-16 without mark", Utf16Le(u"Gr\u00FC\u00DFe von <?APPNAME?> \u20AC"), NoticeFormat::Utf16,
       u"Gr\u00FC\u00DFe von Ledger Pro \u20AC", ""},
      {"rtf is never expanded", "{\\rtf1\\ansi Welcome to <?APPNAME?>}", NoticeFormat::Rtf, u"",
       "{\\rtf1\\ansi Welcome to <?APPNAME?>}"},
      {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e von <?APPNAME?> \xE2\x82\xAC", NoticeFormat::Utf16,
       u"Gr\u00FC\u00DFe von Ledger Pro \u20AC", ""},
      {"utf-8 with mark", "\xEF\xBB\xBFWelcome to <?APPNAME?>", NoticeFormat::Utf16,
       u"Welcome to Ledger Pro", ""},
      {"plain ascii counts as utf-8", "Welcome to <?APPNAME?>.\r\nPress Accept.", NoticeFormat::Utf16,
       u"Welcome to Ledger Pro.\r\nPress Accept.", ""},
      {"ansi", "Gr\xFC\xDF" "e von <?APPNAME?>", NoticeFormat::Ansi, u"", "Gr\xFC\xDF" "e von Ledger Pro"},
      {"utf-16 of odd length drops the last byte", Utf16Le(u"\uFEFFHi <?APPNAME?>") + "x", NoticeFormat::Utf16,
       u"Hi Ledger Pro", ""},
  };
  for (const ContentCase& c : cases) {
    SCOPED_TRACE(c.name);
    const NoticeContent content = LoadNoticeContent(c.bytes, &macros);
    EXPECT_EQ(content.format, c.format);
    EXPECT_EQ(std::u16string(WithoutByteOrderMark(content.wide)), c.shown);
    EXPECT_EQ(content.narrow, c.narrow);
  }
}

TEST_F(NoticeTextTest, WithoutAnExpanderMacrosStayAsTheyAre) {
  EXPECT_EQ(LoadNoticeContent("Hi <?APPNAME?>", nullptr).wide, u"Hi <?APPNAME?>");
  EXPECT_EQ(LoadNoticeContent(Utf16Le(u"Hi <?APPNAME?>"), nullptr).wide, u"Hi <?APPNAME?>");
  EXPECT_EQ(LoadNoticeContent("Hi \xE9 <?APPNAME?>", nullptr).narrow, "Hi \xE9 <?APPNAME?>");
}

TEST_F(NoticeTextTest, AnsiMacroValuesGoThroughTheNarrowExpansion) {
  macros.Set(u"APPNAME", u"Caf\u00E9 \u03A9");  // the default converter has no omega
  EXPECT_EQ(LoadNoticeContent("\xABNew\xBB <?APPNAME?>", &macros).narrow, "\xABNew\xBB Caf\xE9 ?");
}

TEST_F(NoticeTextTest, EightBitTextEndsAtItsFirstZeroByte) {
  EXPECT_EQ(NormaliseNoticeBytes(std::string("Read me\0garbage\xFF", 17)), "Read me");
  EXPECT_EQ(NormaliseNoticeBytes(std::string("\0after", 6)), "") << "nothing to show";
  // UTF-16 and RTF bytes are kept whole: their zero bytes are part of the text.
  const std::string utf16 = Utf16Le(u"Hi");
  EXPECT_EQ(NormaliseNoticeBytes(utf16), utf16);
  const std::string rtf("{\\rtf1 a}\0tail", 14);
  EXPECT_EQ(NormaliseNoticeBytes(rtf), rtf);
  // What follows a zero byte does not decide the kind either.
  EXPECT_EQ(LoadNoticeContent(std::string("Hi\0\xFF\xFE", 5), &macros).wide, u"Hi");
}

// Every verdict by the fixed rules, RTF first; IsTextUnicode's statistics took some
// even-length ASCII, UTF-8 and RTF texts for UTF-16 and showed them as CJK characters.
TEST(IsUtf16NoticeText, DecidesByMarksAndByAPatternThatLeavesNoDoubt) {
  const struct {
    const char* name;
    std::string bytes;
    bool utf16;
  } cases[] = {
      {"utf-16 with mark", Utf16Le(u"\uFEFFWelcome"), true},
      {"utf-16 with mark, Greek", Utf16Le(u"\uFEFF\u039A\u03B1\u03BB\u03CE\u03C2"), true},
      {"utf-16 with mark, odd length", Utf16Le(u"\uFEFFHi") + "x", true},
      {"the mark alone", "\xFF\xFE", true},
      {"utf-16 without mark", Utf16Le(u"Welcome to <?APPNAME?>."), true},
      {"utf-16 without mark, mostly Latin-1", Utf16Le(u"Gr\u00FC\u00DFe \u20AC 5"), true},
      {"utf-16 without mark, one ASCII character", Utf16Le(u"A"), true},
      {"utf-16 without mark, half ASCII", Utf16Le(u"ab\u4E2D\u6587"), false},
      {"utf-16 without mark, CJK", Utf16Le(u"\u4E2D\u6587\u6587\u672C"), false},
      {"utf-16 without mark, odd length", Utf16Le(u"Welcome") + "x", false},
      {"utf-16 big-endian", std::string("\0H\0e\0l\0l\0o", 10), false},
      {"even-length ascii", "Hello, world", false},
      {"even-length ascii sentence", "Read this first!", false},
      {"even-length ascii of two letters", "Hi", false},
      {"even-length utf-8", "Gr\xC3\xBC\xC3\x9F" "e!", false},
      {"utf-8 with mark", "\xEF\xBB\xBFHello", false},
      {"utf-8 mark before zero bytes", std::string("\xEF\xBB\xBFH\0i\0", 7), false},
      {"rtf of even length", "{\\rtf1\\ansi Hello world.\\par}", false},
      {"rtf before anything that looks like utf-16", std::string("{\\rtf1 H\0i\0!\0", 14), false},
      {"ansi", "Gr\xFC\xDF" "e von uns", false},
      {"empty", "", false},
      {"zero bytes only", std::string(6, '\0'), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsUtf16NoticeText(c.bytes), c.utf16) << c.name;
}

TEST_F(NoticeTextTest, RtfIsTakenBeforeUtf16AndAsciiIsNeverTakenForUtf16) {
  const std::string rtf("{\\rtf1 H\0i\0!\0}", 15);
  EXPECT_EQ(LoadNoticeContent(rtf, &macros).format, NoticeFormat::Rtf);
  EXPECT_EQ(LoadNoticeContent(rtf, &macros).narrow, rtf);
  const NoticeContent ascii = LoadNoticeContent("Read this first!", &macros);
  EXPECT_EQ(ascii.format, NoticeFormat::Utf16);
  EXPECT_EQ(ascii.wide, u"Read this first!") << "shown as the ASCII it is, not as CJK";
}

TEST_F(NoticeTextTest, RtfIsRecognisedOnlyAtTheStart) {
  EXPECT_TRUE(StartsWithRtf("{\\rtf1"));
  EXPECT_TRUE(StartsWithRtf("{\\rtf"));
  EXPECT_FALSE(StartsWithRtf("{\\rt"));
  EXPECT_FALSE(StartsWithRtf(" {\\rtf1"));
  EXPECT_FALSE(StartsWithRtf("{\\RTF1"));
}

}  // namespace
