#include "core/messages/macro_expander.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/payload/app_settings.h"
#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"

namespace {

MacroExpander Sample() {
  MacroExpander expander;
  expander.Set(u"APPNAME", u"Budget");
  expander.Set(u"APPVER", u"1.2.3");
  expander.Set(u"LOOP", u"<?APPNAME?>");
  expander.Set(u"EMPTY", u"");
  return expander;
}

// Wide and narrow expansion follow the same rules; each case is checked in both forms.
const std::pair<const char*, const char*> kCases[] = {
    {"", ""},
    {"plain text", "plain text"},
    {"Version <?APPVER?>", "Version 1.2.3"},
    {"<?APPNAME?>", "Budget"},
    {"<?APPNAME?><?APPVER?>", "Budget1.2.3"},
    {"a<?APPNAME?>b<?APPVER?>c", "aBudgetb1.2.3c"},
    {"<?UNKNOWN?>", "<?UNKNOWN?>"},
    {"<?appname?>", "<?appname?>"},  // names are case-sensitive
    {"<? APPNAME?>", "<? APPNAME?>"},  // and not trimmed
    {"<?" "?>", "<?" "?>"},  // split: "??>" would be a trigraph
    {"<?>", "<?>"},
    {"<?>APPNAME?>", "<?>APPNAME?>"},
    {"x<?>y<?APPNAME?>", "x<?>yBudget"},
    {"a<?APPNAME", "a<?APPNAME"},
    {"<?", "<?"},
    {"?>", "?>"},
    {"<?<?APPNAME?>", "<?<?APPNAME?>"},  // the name is "<?APPNAME"
    {"<?LOOP?>", "<?APPNAME?>"},          // values are not expanded again
    {"[<?EMPTY?>]", "[]"},
    {"<?APPNAME?>?>", "Budget?>"},
};

TEST(MacroExpander, ExpandsWide) {
  MacroExpander expander = Sample();
  for (const auto& [text, expected] : kCases) {
    EXPECT_EQ(expander.ExpandWide(WidenBytes(text)), WidenBytes(expected)) << text;
  }
}

TEST(MacroExpander, ExpandsNarrowAndUtf8Alike) {
  MacroExpander expander = Sample();
  for (const auto& [text, expected] : kCases) {
    EXPECT_EQ(expander.ExpandNarrow(text), expected) << text;
    EXPECT_EQ(expander.ExpandUtf8(text), expected) << text;
  }
}

TEST(MacroExpander, NestedOpeningIsPartOfTheName) {
  MacroExpander expander;
  expander.Set(u"<?APPNAME", u"odd");
  EXPECT_EQ(expander.ExpandWide(u"<?<?APPNAME?>"), u"odd");
  EXPECT_EQ(expander.ExpandNarrow("<?<?APPNAME?>"), "odd");
}

TEST(MacroExpander, NarrowFormConvertsValuesToTheCodePage) {
  MacroExpander plain;
  plain.Set(u"APPNAME", u"Caf\u00E9 \u20AC");
  EXPECT_EQ(plain.ExpandNarrow("<?APPNAME?>!"), "Caf\xE9 ?!");

  MacroExpander custom([](const std::u16string& value) { return "[" + Utf16ToUtf8(value) + "]"; });
  custom.Set(u"APPNAME", u"x");
  EXPECT_EQ(custom.ExpandNarrow("<?APPNAME?>"), "[x]");
  EXPECT_EQ(custom.ExpandWide(u"<?APPNAME?>"), u"x");
}

TEST(MacroExpander, Utf8FormKeepsTheTextValidUtf8) {
  MacroExpander expander;
  expander.Set(u"APPNAME", u"Caf\u00E9 \u20AC");
  expander.Set(u"BROKEN", std::u16string(u"a") + char16_t(0xD800) + u"b");
  EXPECT_EQ(expander.ExpandUtf8("<?APPNAME?> l\xC3\xA4uft"), "Caf\xC3\xA9 \xE2\x82\xAC l\xC3\xA4uft");
  EXPECT_EQ(expander.ExpandUtf8("<?BROKEN?>"), "a\xEF\xBF\xBD" "b");
}

TEST(MacroExpander, NarrowNamesAreWidenedByteByByte) {
  MacroExpander expander;
  expander.Set(u"N\u00C4ME", u"found");
  EXPECT_EQ(expander.ExpandNarrow("<?N\xC4ME?>"), "found");
}

TEST(MacroExpander, SetContainsValueClear) {
  MacroExpander expander;
  EXPECT_FALSE(expander.Contains(u"A"));
  EXPECT_EQ(expander.Value(u"A"), u"");
  expander.Set(u"A", u"1");
  expander.Set(u"A", u"2");
  EXPECT_TRUE(expander.Contains(u"A"));
  EXPECT_EQ(expander.Value(u"A"), u"2");
  expander.Clear();
  EXPECT_FALSE(expander.Contains(u"A"));
}

TEST(FormatAppVersion, ShowsTheThreeHighBytes) {
  EXPECT_EQ(FormatAppVersion(0x01020304), u"1.2.3");
  EXPECT_EQ(FormatAppVersion(0x01010000), u"1.1.0");
  EXPECT_EQ(FormatAppVersion(0), u"0.0.0");
  EXPECT_EQ(FormatAppVersion(0xFFFEFDFC), u"255.254.253");
}

TEST(RefreshMacros, SetsTheSixMacros) {
  AppSettings settings;
  settings.appTitle = u"Budget";
  settings.appInfo = u"Monthly budget";
  settings.authorContact = u"someone@example.com";
  std::string header(settings.header.size(), '\0');
  StoreU32At(header, 4, 0x02050400);
  std::copy(header.begin(), header.end(), settings.header.begin());

  std::vector<int> asked;
  MacroExpander expander;
  expander.RefreshMacros(settings, [&](int csidl) -> std::optional<std::u16string> {
    asked.push_back(csidl);
    return csidl == kCsidlPersonal ? u"C:\\Docs" : u"C:\\Desk";
  });
  EXPECT_EQ(asked, (std::vector<int>{kCsidlPersonal, kCsidlDesktop}));
  EXPECT_EQ(expander.ExpandWide(u"<?APPNAME?> <?APPVER?> <?APPINFO?> <?AUTHOR_CONTACT?>"),
            u"Budget 2.5.4 Monthly budget someone@example.com");
  EXPECT_EQ(expander.ExpandWide(u"<?MYDOCUMENTS?>|<?DESKTOP?>"), u"C:\\Docs|C:\\Desk");

  // Failed folder lookups keep what an earlier refresh found; the rest follows the settings.
  settings.appTitle = u"Other";
  expander.RefreshMacros(settings, [](int) { return std::optional<std::u16string>(); });
  EXPECT_EQ(expander.ExpandWide(u"<?APPNAME?> <?MYDOCUMENTS?>"), u"Other C:\\Docs");

  MacroExpander fresh;
  fresh.RefreshMacros(settings, [](int) { return std::optional<std::u16string>(); });
  EXPECT_EQ(fresh.ExpandWide(u"<?MYDOCUMENTS?>"), u"<?MYDOCUMENTS?>");
  EXPECT_TRUE(fresh.Contains(u"AUTHOR_CONTACT"));
}

}  // namespace
