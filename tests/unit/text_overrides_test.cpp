#include "core/text/text_overrides.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "core/encoding/byte_io.h"

namespace {

using Entries = std::vector<std::pair<uint32_t, std::string>>;
using Texts = std::map<int32_t, std::string>;

std::string Table(const Entries& entries, uint32_t headerSize = 12, int64_t count = -1) {
  std::string out;
  AppendU32(out, headerSize);
  AppendU32(out, count < 0 ? static_cast<uint32_t>(entries.size()) : static_cast<uint32_t>(count));
  AppendU32(out, 0xDEADBEEF);
  out.resize(std::max<size_t>(out.size(), headerSize), '\x7F');
  for (const auto& [key, text] : entries) {
    AppendU32(out, key);
    AppendU32(out, static_cast<uint32_t>(text.size()));
    out += text;
  }
  return out;
}

Texts Load(std::string_view item) {
  TextOverrideTable table;
  table.LoadTextOverrides(item);
  return table.Texts();
}

TEST(LoadTextOverrides, ReadsEntriesByTheTableRules) {
  const std::string two = Table({{7, "Achtung"}, {16, "Falsches Kennwort"}});
  const std::string zeroText("Vorsicht\0rest", 13);
  std::string headerBeyondData = Table({{7, "a"}});
  StoreU32At(headerBeyondData, 0, 5000);
  struct Case {
    const char* what;
    std::string item;
    Texts expected;
  } cases[] = {
      {"placeholder byte", "1", {}},
      {"shorter than the header", two.substr(0, 11), {}},
      {"no entries", Table({}), {}},
      {"two entries", two, {{7, "Achtung"}, {16, "Falsches Kennwort"}}},
      {"empty text is not stored", Table({{7, ""}, {8, "x"}}), {{8, "x"}}},
      {"text ends at its first zero", Table({{7, zeroText}}), {{7, "Vorsicht"}}},
      {"text that starts with zero", Table({{7, std::string("\0a", 2)}}), {}},
      {"later key replaces", Table({{7, "one"}, {7, "two"}}), {{7, "two"}}},
      {"later empty text keeps the earlier", Table({{7, "one"}, {7, ""}}), {{7, "one"}}},
      {"negative key", Table({{0xFFFFFFFF, "minus one"}}), {{-1, "minus one"}}},
      {"larger header is skipped", Table({{7, "a"}}, 20), {{7, "a"}}},
      {"header beyond the data", headerBeyondData, {}},
      {"count below the entries", Table({{7, "a"}, {8, "b"}}, 12, 1), {{7, "a"}}},
      {"count above the entries", Table({{7, "a"}}, 12, 1000000), {{7, "a"}}},
      {"count of four billion", Table({{7, "a"}}, 12, 0xFFFFFFFF), {{7, "a"}}},
      {"cut inside a text", two.substr(0, two.size() - 1), {{7, "Achtung"}}},
      {"cut inside a length", two.substr(0, 12 + 4 + 4 + 7 + 4 + 2), {{7, "Achtung"}}},
      {"cut inside a key", two.substr(0, 12 + 4 + 4 + 7 + 2), {{7, "Achtung"}}},
      {"surplus bytes", two + "trailing junk", {{7, "Achtung"}, {16, "Falsches Kennwort"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Load(c.item), c.expected) << c.what;
}

TEST(LoadTextOverrides, CutsTextsAtTheSizeLimit) {
  const Texts texts = Load(Table({{7, std::string(131071, 'a')}, {8, std::string(131070, 'b')}}));
  EXPECT_EQ(texts.at(7).size(), 131070u);
  EXPECT_EQ(texts.at(8).size(), 131070u);
}

TEST(TextOverrideTable, LooksUpWithLineFeeds) {
  TextOverrideTable table;
  table.LoadTextOverrides(Table({{41, "Schon offen.\\nBitte warten.\\n"}, {5, "C:\\new\\name"}}));
  EXPECT_TRUE(table.HasOverrideText(41));
  EXPECT_FALSE(table.HasOverrideText(42));
  EXPECT_EQ(table.GetOverrideTextUtf8(41), "Schon offen.\nBitte warten.\n");
  EXPECT_EQ(table.GetOverrideText(41), u"Schon offen.\nBitte warten.\n");
  EXPECT_EQ(table.GetOverrideTextUtf8(5), "C:\new\name");  // any backslash-n, even in a path
  EXPECT_EQ(table.GetOverrideText(42), u"");
  EXPECT_EQ(table.GetOverrideTextUtf8(42), "");
}

TEST(TextOverrideTable, ConvertsUtf8AndRefusesInvalidTexts) {
  TextOverrideTable table;
  table.LoadTextOverrides(Table({{7, "Varoitus \xC3\xA4"}, {8, "bad \xC3 text"}, {9, "\xED\xA0\x80"}}));
  EXPECT_EQ(table.GetOverrideText(7), u"Varoitus \u00E4");
  // An invalid text counts as no text, so callers fall back to the built-in one.
  EXPECT_TRUE(table.HasOverrideText(8));
  EXPECT_EQ(table.GetOverrideText(8), u"");
  EXPECT_EQ(table.GetOverrideTextUtf8(8), "");
  EXPECT_EQ(table.GetOverrideText(9), u"");  // an encoded surrogate is not UTF-8
}

TEST(ReplaceBackslashN, ReplacesEveryPairScanningLeftToRight) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},          {"\\n", "\n"},     {"a\\nb\\nc", "a\nb\nc"},
      {"\\", "\\"},      {"n\\", "n\\"},    {"\\\\n", "\\\n"},
      {"\\N", "\\N"},    {"\\\n", "\\\n"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ReplaceBackslashN(text), expected) << text;
}

TEST(WriteTextOverrides, RoundTripsThroughTheReader) {
  const Texts texts = {{-3, "minus"}, {7, "Varoitus"}, {41, "Jo k\xC3\xA4ynniss\xC3\xA4\\n"}};
  const std::string item = WriteTextOverrides(texts);
  EXPECT_EQ(ReadU32At(item, 0), 12u);
  EXPECT_EQ(ReadU32At(item, 4), 3u);
  EXPECT_EQ(Load(item), texts);
  EXPECT_EQ(Load(WriteTextOverrides({})), Texts{});
}

TEST(WriteTextOverrides, RefusesTextsTheReaderWouldLose) {
  EXPECT_THROW(WriteTextOverrides({{7, ""}}), std::invalid_argument);
  EXPECT_THROW(WriteTextOverrides({{7, std::string("a\0b", 3)}}), std::invalid_argument);
  EXPECT_THROW(WriteTextOverrides({{7, std::string(131071, 'a')}}), std::invalid_argument);
}

}  // namespace
