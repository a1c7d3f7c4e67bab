#include "packer/workbook_check.h"

#include <gtest/gtest.h>

#include "core/encoding/byte_io.h"
#include "office/compound_file.h"
#include "packer/pack_error.h"
#include "zip_fixture.h"

namespace {

const std::string kXlsm = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
const std::string kXlsb = "application/vnd.ms-excel.sheet.binary.macroEnabled.main";
const std::string kXlsx = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

std::string Biff8Bof() {
  std::string bof;
  for (uint16_t word : {0x0809, 16, 0x0600, 0x0005, 0x0DBB, 0x07CC, 1, 0, 6, 0}) AppendU16(bof, word);
  return bof;
}

std::string Compound(std::vector<CfbEntry> entries) { return WriteCompoundFile(CfbEntry::Storage("", std::move(entries))); }

TEST(PackerWorkbookCheck, TellsWhatAFileIsByItsContents) {
  struct Case {
    const char* name;
    std::string file;
    const char* format;
    const char* description;
  };
  const std::vector<Case> cases = {
      {"xlsm", OoxmlFixture(kXlsm, true), ".xlsm", "macro-enabled workbook"},
      {"xlsb", OoxmlFixture(kXlsb, true), ".xlsb", "binary workbook"},
      {"xlsx", OoxmlFixture(kXlsx, false), ".xlsx", "macro-free workbook"},
      {"other package", OoxmlFixture("application/x-other", false), "?", "of type 'application/x-other'"},
      {"zip", ZipFixture({{"readme.txt", "hello"}}), "", "without [Content_Types].xml"},
      {"xls", Compound({CfbEntry::Stream("Workbook", Biff8Bof())}), ".xls", "Excel 97-2003 workbook"},
      {"BIFF5 in Workbook", Compound({CfbEntry::Stream("Workbook", "\x09\x08\x08\x00\x00\x05\x05\x00")}), "",
       "not an Excel 97-2003 workbook"},
      {"Excel 95", Compound({CfbEntry::Stream("Book", "\x09\x08\x08\x00\x00\x05\x05\x00")}), "", "Excel 5.0/95"},
      {"Word", Compound({CfbEntry::Stream("WordDocument", "text")}), "", "Word 97-2003 document"},
      {"other compound file", Compound({CfbEntry::Stream("Contents", "x")}), "", "without a Workbook stream"},
      {"damaged compound file", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'), "",
       "damaged compound file"},
      {"PNG", "\x89PNG\r\n\x1A\n" + std::string(100, '\0'), "", "PNG picture"},
      {"text", "North;12\r\nSouth;7\r\n", "", "text"},
      {"zip cut short", OoxmlFixture(kXlsm, true).substr(0, 200), "", "cut short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const WorkbookContents contents = IdentifyWorkbook(MemorySource(c.file));
    EXPECT_EQ(contents.format, c.format);
    EXPECT_NE(contents.description.find(c.description), std::string::npos) << contents.description;
  }
  const WorkbookContents encrypted = IdentifyWorkbook(MemorySource(
      Compound({CfbEntry::Stream("EncryptionInfo", "info"), CfbEntry::Stream("EncryptedPackage", "package")})));
  EXPECT_TRUE(encrypted.encrypted);
}

TEST(PackerWorkbookCheck, FormatByNameOrByContents) {
  std::vector<std::string> warnings;
  const std::string xlsm = OoxmlFixture(kXlsm, true);
  const std::string xls = Compound({CfbEntry::Stream("Workbook", Biff8Bof())});
  EXPECT_EQ(CheckWorkbook("Book.xlsm", MemorySource(xlsm), false, warnings), 52);
  EXPECT_EQ(CheckWorkbook("Book.XLS", MemorySource(xls), false, warnings), -4143);
  EXPECT_EQ(CheckWorkbook("item.bin", MemorySource(xls), true, warnings), -4143);
  EXPECT_EQ(warnings, std::vector<std::string>{});
  EXPECT_THROW(CheckWorkbook("item.bin", MemorySource(xls), false, warnings), PackError);
  EXPECT_THROW(CheckWorkbook("Book.xlsb", MemorySource(xlsm), true, warnings), PackError);

  EXPECT_EQ(CheckWorkbook("Bare.xlsm", MemorySource(OoxmlFixture(kXlsm, false)), false, warnings), 52);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "Bare.xlsm: has no VBA project, so the application carries no macros");

  // An encrypted package is taken under a macro-enabled name, with a warning; its format
  // cannot come from its contents.
  const std::string encrypted =
      Compound({CfbEntry::Stream("EncryptionInfo", "info"), CfbEntry::Stream("EncryptedPackage", "package")});
  warnings.clear();
  EXPECT_EQ(CheckWorkbook("Locked.xlsb", MemorySource(encrypted), false, warnings), 50);
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_THROW(CheckWorkbook("Locked.xls", MemorySource(encrypted), false, warnings), PackError);
  EXPECT_THROW(CheckWorkbook("item.bin", MemorySource(encrypted), true, warnings), PackError);
}

}  // namespace
