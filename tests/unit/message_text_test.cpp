#include "core/messages/message_text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/encoding/byte_io.h"
#include "core/text/message_texts.h"
#include "core/text/text_overrides.h"
#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

namespace {

// Overrides are loaded through the item format, as the launcher does.
TextOverrideTable Overrides(const std::map<int32_t, std::string>& texts) {
  std::string item;
  AppendU32(item, 12);
  AppendU32(item, static_cast<uint32_t>(texts.size()));
  AppendU32(item, 0);
  for (const auto& [key, text] : texts) {
    AppendU32(item, static_cast<uint32_t>(key));
    AppendU32(item, static_cast<uint32_t>(text.size()));
    item += text;
  }
  TextOverrideTable table;
  table.LoadTextOverrides(item);
  return table;
}

class MessageTextTest : public testing::Test {
 protected:
  void SetUp() override { expander.Set(u"APPNAME", u"K\u00E4ssi"); }
  MacroExpander expander;
  TextOverrideTable overrides = Overrides({{7, "Huomio <?APPNAME?>"},
                                           {11, ""},
                                           {16, "V\xC3\xA4\xC3\xA4r\xC3\xA4 salasana\\nUudelleen"},
                                           {40, "Hei <?APPNAME?>"},
                                           {41, "broken \xC3"}});
};

TEST_F(MessageTextTest, OverrideWinsAndIsExpanded) {
  const MessageTextSources sources{&overrides, &expander};
  EXPECT_EQ(GetMessageText(sources, OverrideKey::kWarningCaption, TextId::kWarningCaption),
            u"Huomio K\u00E4ssi");
  EXPECT_EQ(GetMessageTextUtf8(sources, OverrideKey::kWrongPassword, TextId::kWrongPassword),
            "V\xC3\xA4\xC3\xA4r\xC3\xA4 salasana\nUudelleen");
  EXPECT_EQ(GetMessageText(sources, OverrideKey::kWrongPassword, TextId::kWrongPassword),
            u"V\u00E4\u00E4r\u00E4 salasana\nUudelleen");
}

TEST_F(MessageTextTest, FallsBackToTheBuiltInText) {
  const MessageTextSources sources{&overrides, &expander};
  struct Case {
    const char* what;
    int key;
    int id;
  } cases[] = {
      {"no override", OverrideKey::kNoticeAccept, TextId::kNoticeAccept},
      {"empty override", OverrideKey::kNoticeTitle, TextId::kNoticeTitle},
      {"invalid UTF-8 override", OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning},
  };
  for (const Case& c : cases) {
    const std::string shown = ReplaceBackslashN(GetTextUtf8(c.id));
    EXPECT_EQ(GetMessageText(sources, c.key, c.id), expander.ExpandWide(Utf8ToUtf16(shown))) << c.what;
    EXPECT_EQ(GetMessageTextUtf8(sources, c.key, c.id), expander.ExpandUtf8(shown)) << c.what;
  }
}

// A box with a caption of its own: the author's text for it, else the warning caption as
// the author translated it, else the built-in one.
TEST_F(MessageTextTest, WarningCaptionOfABoxWithACaptionKeyOfItsOwn) {
  const TextOverrideTable own = Overrides({{7, "Huomio"}, {OverrideKey::kHostMissingCaption, "Excel puuttuu: <?APPNAME?>"}});
  const TextOverrideTable warningOnly = Overrides({{7, "Huomio"}});
  const TextOverrideTable emptyOwn = Overrides({{7, "Huomio"}, {OverrideKey::kHostMissingCaption, ""}});
  const TextOverrideTable none = Overrides({});
  struct Case {
    const char* what;
    const TextOverrideTable* table;
    int captionKey;
    std::u16string caption;
  } cases[] = {
      {"its own caption, expanded", &own, OverrideKey::kHostMissingCaption, u"Excel puuttuu: K\u00E4ssi"},
      {"a box without a caption key", &own, 0, u"Huomio"},
      {"no text for its own caption", &warningOnly, OverrideKey::kHostMissingCaption, u"Huomio"},
      {"an empty text for its own caption", &emptyOwn, OverrideKey::kHostMissingCaption, u"Huomio"},
      {"no overrides at all", &none, OverrideKey::kHostMissingCaption, GetText(TextId::kWarningCaption)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetWarningCaption({c.table, &expander}, c.captionKey), c.caption) << c.what;
  }
  EXPECT_EQ(GetWarningCaption({}, OverrideKey::kHostMissingCaption), GetText(TextId::kWarningCaption));
}

TEST_F(MessageTextTest, NarrowTextStaysValidUtf8WithANonAsciiTitle) {
  // The built-in text 43 names the application; the title must not turn the
  // message into bytes that cannot be shown.
  const std::string text =
      GetMessageTextUtf8({nullptr, &expander}, OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning);
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_NE(text.find("K\xC3\xA4ssi"), std::string::npos);
  EXPECT_EQ(Utf8ToUtf16(text), GetMessageText({nullptr, &expander}, OverrideKey::kAlreadyRunning,
                                              TextId::kAlreadyRunning));
}

TEST_F(MessageTextTest, WithoutSourcesTextsComeUnexpandedFromTheTable) {
  EXPECT_EQ(GetMessageText({}, OverrideKey::kWarningCaption, TextId::kWarningCaption),
            GetText(TextId::kWarningCaption));
  EXPECT_EQ(GetMessageTextUtf8({}, OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning),
            ReplaceBackslashN(GetTextUtf8(TextId::kAlreadyRunning)));
  EXPECT_NE(GetTextUtf8(TextId::kAlreadyRunning).find("<?APPNAME?>"), std::string::npos);
  EXPECT_EQ(GetMessageText({&overrides, nullptr}, OverrideKey::kWarningCaption, TextId::kWarningCaption),
            u"Huomio <?APPNAME?>");
}

TEST_F(MessageTextTest, LineBreaksComeFromTheTextNotFromMacroValues) {
  // Text 43 holds a backslash-n of its own; a title or folder holding one keeps it.
  ASSERT_NE(GetTextUtf8(TextId::kAlreadyRunning).find("\\n"), std::string::npos);
  for (const char16_t* title : {u"Sales\\north", u"C:\\Users\\nina"}) {
    expander.Set(u"APPNAME", title);
    const std::u16string wide = GetMessageText({nullptr, &expander}, OverrideKey::kAlreadyRunning,
                                               TextId::kAlreadyRunning);
    const std::string narrow = GetMessageTextUtf8({nullptr, &expander}, OverrideKey::kAlreadyRunning,
                                                  TextId::kAlreadyRunning);
    EXPECT_EQ(wide.find(title), 0u) << Utf16ToUtf8(title);
    EXPECT_EQ(narrow.find(Utf16ToUtf8(title)), 0u) << Utf16ToUtf8(title);
    EXPECT_EQ(std::count(wide.begin(), wide.end(), u'\n'), 1) << "the text's own line break";
    EXPECT_EQ(std::count(narrow.begin(), narrow.end(), '\n'), 1);
  }
  // An override's macros are expanded after its line breaks too.
  const TextOverrideTable table = Overrides({{41, "<?APPNAME?> runs.\\nSwitch to it."}});
  expander.Set(u"APPNAME", u"Sales\\north");
  EXPECT_EQ(GetMessageTextUtf8({&table, &expander}, OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning),
            "Sales\\north runs.\nSwitch to it.");
}

TEST_F(MessageTextTest, ExpandedOverrideTextHasNoBuiltInDefault) {
  EXPECT_EQ(GetExpandedOverrideText({&overrides, &expander}, OverrideKey::kContactBody),
            u"Hei K\u00E4ssi");
  EXPECT_EQ(GetExpandedOverrideText({&overrides, &expander}, OverrideKey::kContactSubject), u"");
  EXPECT_EQ(GetExpandedOverrideText({nullptr, &expander}, OverrideKey::kContactBody), u"");
}

}  // namespace
