// How the start notice's bytes are taken: UTF-16 (with or without a mark), RTF,
// UTF-8 (with or without a mark) and ANSI, and where macros are expanded.
#include "launcher/ui/notice_text.h"

#include <gtest/gtest.h>

#include "launcher/payload/utf.h"
#include "launcher/ui/macro_expander.h"

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
  bool isTextUnicode;  // the verdict Windows' IsTextUnicode gives for these bytes
  NoticeFormat format;
  std::u16string shown;  // Utf16: the text without its mark
  std::string narrow;    // Rtf and Ansi
};

TEST_F(NoticeTextTest, EachKindIsConvertedAndExpandedWhereItShouldBe) {
  const ContentCase cases[] = {
      {"utf-16 with mark", Utf16Le(u"\uFEFFWelcome to <?APPNAME?>"), true, NoticeFormat::Utf16,
       u"Welcome to Ledger Pro", ""},
      {"utf-16 without mark", Utf16Le(u"Gr\u00FC\u00DFe von <?APPNAME?> \u20AC"), true, NoticeFormat::Utf16,
       u"Gr\u00FC\u00DFe von Ledger Pro \u20AC", ""},
      {"rtf is never expanded", "{\\rtf1\\ansi Welcome to <?APPNAME?>}", false, NoticeFormat::Rtf, u"",
       "{\\rtf1\\ansi Welcome to <?APPNAME?>}"},
      {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e von <?APPNAME?> \xE2\x82\xAC", false, NoticeFormat::Utf16,
       u"Gr\u00FC\u00DFe von Ledger Pro \u20AC", ""},
      {"utf-8 with mark", "\xEF\xBB\xBFWelcome to <?APPNAME?>", false, NoticeFormat::Utf16,
       u"Welcome to Ledger Pro", ""},
      {"plain ascii counts as utf-8", "Welcome to <?APPNAME?>.\r\nPress Accept.", false, NoticeFormat::Utf16,
       u"Welcome to Ledger Pro.\r\nPress Accept.", ""},
      {"ansi", "Gr\xFC\xDF" "e von <?APPNAME?>", false, NoticeFormat::Ansi, u"", "Gr\xFC\xDF" "e von Ledger Pro"},
      {"utf-16 of odd length drops the last byte", Utf16Le(u"Hi <?APPNAME?>") + "x", true, NoticeFormat::Utf16,
       u"Hi Ledger Pro", ""},
  };
  for (const ContentCase& c : cases) {
    SCOPED_TRACE(c.name);
    const NoticeContent content = LoadNoticeContent(c.bytes, c.isTextUnicode, &macros);
    EXPECT_EQ(content.format, c.format);
    EXPECT_EQ(std::u16string(WithoutByteOrderMark(content.wide)), c.shown);
    EXPECT_EQ(content.narrow, c.narrow);
  }
}

TEST_F(NoticeTextTest, WithoutAnExpanderMacrosStayAsTheyAre) {
  EXPECT_EQ(LoadNoticeContent("Hi <?APPNAME?>", false, nullptr).wide, u"Hi <?APPNAME?>");
  EXPECT_EQ(LoadNoticeContent(Utf16Le(u"Hi <?APPNAME?>"), true, nullptr).wide, u"Hi <?APPNAME?>");
  EXPECT_EQ(LoadNoticeContent("Hi \xE9 <?APPNAME?>", false, nullptr).narrow, "Hi \xE9 <?APPNAME?>");
}

TEST_F(NoticeTextTest, AnsiMacroValuesGoThroughTheNarrowExpansion) {
  macros.Set(u"APPNAME", u"Caf\u00E9 \u03A9");  // the default converter has no omega
  EXPECT_EQ(LoadNoticeContent("\xABNew\xBB <?APPNAME?>", false, &macros).narrow, "\xABNew\xBB Caf\xE9 ?");
}

TEST_F(NoticeTextTest, EightBitTextEndsAtItsFirstZeroByte) {
  EXPECT_EQ(NormaliseNoticeBytes(std::string("Read me\0garbage\xFF", 17), false), "Read me");
  EXPECT_EQ(NormaliseNoticeBytes(std::string("\0after", 6), false), "") << "nothing to show";
  // UTF-16 and RTF bytes are kept whole: their zero bytes are part of the text.
  const std::string utf16 = Utf16Le(u"Hi");
  EXPECT_EQ(NormaliseNoticeBytes(utf16, true), utf16);
  const std::string rtf("{\\rtf1 a}\0tail", 14);
  EXPECT_EQ(NormaliseNoticeBytes(rtf, false), rtf);
  // What follows a zero byte does not decide the kind either.
  EXPECT_EQ(LoadNoticeContent(std::string("Hi\0\xFF\xFE", 5), false, &macros).wide, u"Hi");
}

TEST_F(NoticeTextTest, RtfIsRecognisedOnlyAtTheStart) {
  EXPECT_TRUE(StartsWithRtf("{\\rtf1"));
  EXPECT_TRUE(StartsWithRtf("{\\rtf"));
  EXPECT_FALSE(StartsWithRtf("{\\rt"));
  EXPECT_FALSE(StartsWithRtf(" {\\rtf1"));
  EXPECT_FALSE(StartsWithRtf("{\\RTF1"));
}

}  // namespace
