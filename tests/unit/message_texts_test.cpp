#include "core/text/message_texts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <utility>

#include "core/encoding/utf.h"

namespace {

using Key = std::pair<TextTable, int>;

// Reads the readable source the table is generated from, so the two cannot drift.
std::map<Key, std::string> ReadSourceFile() {
  std::ifstream file(std::string(SHEETPACK_SOURCE_DIR) + "/core/text/message_texts.txt",
                     std::ios::binary);
  EXPECT_TRUE(file.good());
  std::map<Key, std::string> entries;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string table, equals;
    int id = -1;
    fields >> table >> id >> equals;
    EXPECT_EQ(equals, "=") << line;
    const size_t marker = line.find(" =");
    std::string text = marker + 3 <= line.size() ? line.substr(marker + 3) : "";
    const TextTable which = table == "second" ? TextTable::Second : TextTable::Main;
    EXPECT_TRUE(entries.emplace(Key{which, id}, text).second) << "listed twice: " << line;
  }
  return entries;
}

TEST(MessageTexts, EveryEntryDecodesToTheReadableSource) {
  const auto entries = ReadSourceFile();
  ASSERT_EQ(entries.size(), 79u + 13u);
  for (int id = 0; id <= 78; ++id) {
    ASSERT_EQ(entries.count({TextTable::Main, id}), 1u) << "main " << id;
    EXPECT_EQ(GetTextUtf8(id), entries.at({TextTable::Main, id})) << "main " << id;
  }
  for (int id = 0; id <= 12; ++id) {
    ASSERT_EQ(entries.count({TextTable::Second, id}), 1u) << "second " << id;
    EXPECT_EQ(GetTextUtf8(id, TextTable::Second), entries.at({TextTable::Second, id}))
        << "second " << id;
  }
}

TEST(MessageTexts, FixedNamesAreWhatTheOtherComponentsLookFor) {
  const std::pair<int, const char16_t*> names[] = {
      {TextId::kResourceType, u"EXTRSC"},         {TextId::kHostWindowClass, u"XLMAIN"},
      {TextId::kHostProgId, u"Excel.Application"}, {TextId::kExtensionXlsm, u".xlsm"},
      {TextId::kExtensionXlsb, u".xlsb"},          {TextId::kExtensionXls, u".xls"},
      {TextId::kAddInFileName, u"pelkostub.dll"},  {TextId::kLauncherExtension, u".exe"},
      {TextId::kTempRegistryToken, u"%SystemRoot%"},
      {TextId::kTempRegistryKey,
       u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"},
  };
  for (const auto& [id, name] : names) EXPECT_EQ(GetText(id), name) << "main " << id;
  EXPECT_EQ(GetText(SecondTextId::kMailPrefix, TextTable::Second), u"mailto:");
}

TEST(MessageTexts, SilentPrefixAndEventFormatFitTheirUse) {
  EXPECT_GE(GetText(TextId::kSilentStartPrefix).size(), 6u);
  // The event name takes the process id, an unsigned 32-bit number: exactly one
  // conversion and no other '%'.
  const std::string format = GetTextUtf8(TextId::kResidentEventFormat);
  EXPECT_EQ(format.find('%'), format.rfind('%'));
  EXPECT_NE(format.find("%u"), std::string::npos);
  const std::u16string name = ResidentEventName(4294967295u);
  EXPECT_NE(name.find(u"4294967295"), std::u16string::npos);
  EXPECT_EQ(name.find(u'%'), std::u16string::npos);
}

TEST(MessageTexts, RolesThatShowTextsAreNotEmpty) {
  for (int id : {8, 17, 18, 19, 21, 22, 23, 26, 27, 28, 29, 30, 31, 32, 33, 34, 43, 50, 52, 55, 56, 57, 58, 59, 63, 64, 65, 66, 67, 68, 69, 70, 71}) {
    EXPECT_FALSE(GetText(id).empty()) << "main " << id;
  }
}

TEST(MessageTexts, MissingIdsAreEmpty) {
  EXPECT_EQ(GetText(200), u"");
  EXPECT_EQ(GetText(-1), u"");
  EXPECT_EQ(GetTextUtf8(13, TextTable::Second), "");
}

}  // namespace
