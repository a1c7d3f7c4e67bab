#include "core/payload/encrypted_workbook.h"

#include <gtest/gtest.h>

#include <string>

#include "core/encoding/byte_io.h"
#include "office/agile_encryption.h"
#include "office/compound_file.h"
#include "zip_fixture.h"

namespace {

std::string Package(size_t filler) {
  return ZipFixture({{"[Content_Types].xml", "<Types/>", false}, {"xl/workbook.xml", std::string(filler, 'w'), false}});
}

std::string Encrypted(const std::string& package) {
  return EncryptWorkbookPackage(package, u"secret", EncryptionSeedsFor("seed", package), 1);
}

// The directory's first sector: entries after the root, so that an entry can be altered.
size_t DirectoryOffset(const std::string& file) { return (size_t{ReadU32At(file, 48)} + 1) * 512; }

TEST(EncryptedWorkbook, TellsAnEncryptedPackageFromWorkbooksInTheClear) {
  const std::string small = Encrypted(Package(100));
  // More than the header's 109 sectors of allocation table (7 MB with 512-byte sectors).
  const std::string large = Encrypted(Package(8u << 20));
  std::string storageNamedAlike = WriteCompoundFile(
      CfbEntry::Storage("", {CfbEntry::Storage("EncryptionInfo", {CfbEntry::Stream("x", "y")})}));
  std::string cutBeforeDirectory = small.substr(0, DirectoryOffset(small));
  struct Case {
    const char* name;
    std::string file;
    bool encrypted;
  } cases[] = {
      {"an encrypted package", small, true},
      {"a large encrypted package", large, true},
      {"a package in the clear", Package(100), false},
      {"an .xls in the clear", WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("Workbook", "BIFF")})), false},
      {"a storage, not a stream, named EncryptionInfo", storageNamedAlike, false},
      {"an encrypted package cut before its directory", cutBeforeDirectory, false},
      {"nothing", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPasswordEncryptedWorkbook(c.file), c.encrypted) << c.name;
}

TEST(EncryptedWorkbook, ADirectoryChainThatLoopsEnds) {
  std::string file = WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("Workbook", "BIFF")}));
  // The directory's sector names itself as the next one in the allocation table.
  const uint32_t directory = ReadU32At(file, 48);
  const size_t table = (size_t{ReadU32At(file, 76)} + 1) * 512;
  StoreU32At(file, table + 4 * directory, directory);
  EXPECT_FALSE(IsPasswordEncryptedWorkbook(file));
}

}  // namespace
