// Inputs the fuzzers (fuzz/) found problems with, and inputs of the same kind found while
// writing them, kept so the fixes stay in place. Each file in fuzz_regressions/ goes
// through the property its harness checks; inputs built here in code are the ones too
// large to keep as files.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "core/encoding/byte_io.h"
#include "packer/icon_group.h"
#include "packer/pe_image.h"
#include "packer/pe_resource_update.h"
#include "packer/resource_section.h"
#include "packer_pe_fixture.h"

namespace {

std::string ReadRegression(const std::string& name) {
  std::ifstream in(std::string(SHEETPACK_SOURCE_DIR) + "/tests/unit/fuzz_regressions/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file the packer reads must be refused, or written with an item added and read
// back with exactly the resources it was given.
void CheckPeFile(const std::string& bytes) {
  ResourceTree tree;
  std::optional<PeImage> image;
  try {
    image.emplace(bytes);
    tree = ReadResourceTree(*image);
  } catch (const PeFormatError&) {
    return;
  }
  tree[PackedItemType()][ResourceName(1100)][1033] = {std::string(40, 'x'), 0};
  UpdatedImage updated;
  try {
    updated = ReplaceResources(*image, tree, true);
  } catch (const PeFormatError&) {
    return;
  }
  EXPECT_EQ(ReadResourceTree(PeImage(updated.bytes.Flatten())), tree);
}

// The icon harness's input: one byte telling the length of the stub's old icon group,
// the group, then the .ico file. Images copied out may not add up to more than the file.
void CheckIconInput(const std::string& input) {
  ASSERT_FALSE(input.empty());
  const std::string group = input.substr(1, static_cast<uint8_t>(input[0]));
  const std::string ico = input.substr(1 + group.size());
  ResourceTree tree;
  tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(1)][1033] = {group, 0};
  try {
    ReplaceFirstIconGroup(tree, ico);
  } catch (const IconFormatError&) {
    return;
  }
  size_t copied = 0;
  for (const auto& [name, languages] : tree[ResourceName(kResourceTypeIcon)]) copied += languages.at(1033).bytes.size();
  EXPECT_LE(copied, ico.size());
}

struct Finding {
  const char* file;
  const char* what;
  std::function<void(const std::string&)> check;
};

const Finding kFindings[] = {
    {"pe_resources-data-inside-headers.bin",
     "a section whose raw data starts at offset 0 held the resources: rewriting them in place cut off the headers",
     CheckPeFile},
    {"pe_resources-file-alignment-256m.bin",
     "a 2.5 kB stub declaring a 256 MB file alignment was written out as a 256 MB file", CheckPeFile},
    {"icon_file-shared-images.bin",
     "two .ico entries pointing at the same image bytes were both copied out (65535 could multiply the file)",
     CheckIconInput},
};

TEST(FuzzRegression, FoundInputsKeepTheirFix) {
  for (const Finding& finding : kFindings) {
    SCOPED_TRACE(std::string(finding.file) + ": " + finding.what);
    finding.check(ReadRegression(finding.file));
  }
}

TEST(FuzzRegression, SectionDataInsideTheHeadersIsRefused) {
  try {
    PeImage image(ReadRegression("pe_resources-data-inside-headers.bin"));
    FAIL() << "accepted";
  } catch (const PeFormatError& error) {
    EXPECT_NE(std::string(error.what()).find("inside the headers"), std::string::npos) << error.what();
  }
}

TEST(FuzzRegression, FileAlignmentBeyondThePeLimitIsRefused) {
  try {
    PeImage image(ReadRegression("pe_resources-file-alignment-256m.bin"));
    FAIL() << "accepted";
  } catch (const PeFormatError& error) {
    EXPECT_NE(std::string(error.what()).find("invalid alignment"), std::string::npos) << error.what();
  }
}

// One type, one name, and `languages` language entries that all point at the same
// data entry (or, with `sharedName`, name entries that all point at the same name).
std::string SharingDirectory(uint32_t sectionRva, uint16_t entries, bool sharedName, uint32_t payload) {
  constexpr uint32_t kHighBit = 0x80000000;
  const uint32_t typeTable = 0, nameTable = 24, languageTable = nameTable + 16 + 8u * entries;
  const uint32_t dataEntry = languageTable + 16 + 8u * entries;
  const uint32_t nameAt = dataEntry + 16;
  const uint32_t dataAt = nameAt + 2 + 2 * payload;
  std::string s(dataAt + payload, 'd');
  auto table = [&](uint32_t at, uint16_t named, uint16_t ids) {
    s.replace(at, 16, std::string(16, '\0'));
    StoreU16At(s, at + 12, named);
    StoreU16At(s, at + 14, ids);
  };
  table(typeTable, 0, 1);
  StoreU32At(s, typeTable + 16, 10);
  StoreU32At(s, typeTable + 20, kHighBit | nameTable);
  table(nameTable, sharedName ? entries : 0, sharedName ? 0 : 1);
  table(languageTable, 0, sharedName ? 1 : entries);
  for (uint16_t i = 0; i < (sharedName ? entries : 1); ++i) {
    StoreU32At(s, nameTable + 16 + 8 * i, sharedName ? kHighBit | nameAt : 1);
    StoreU32At(s, nameTable + 20 + 8 * i, kHighBit | languageTable);
  }
  for (uint16_t i = 0; i < (sharedName ? 1 : entries); ++i) {
    StoreU32At(s, languageTable + 16 + 8 * i, i);
    StoreU32At(s, languageTable + 20 + 8 * i, dataEntry);
  }
  StoreU32At(s, dataEntry, sectionRva + dataAt);
  StoreU32At(s, dataEntry + 4, payload);
  StoreU32At(s, dataEntry + 8, 0);
  StoreU32At(s, dataEntry + 12, 0);
  StoreU16At(s, nameAt, static_cast<uint16_t>(payload));
  return s;
}

TEST(FuzzRegression, SharedNamesAndDataCannotMultiplyTheFile) {
  // Unchecked, 4000 entries sharing a 30 000-byte datum (or a 30 000-character name)
  // would copy 120 MB (or 240 MB) out of a file of about 150 kB.
  for (bool sharedName : {false, true}) {
    SCOPED_TRACE(sharedName ? "shared name" : "shared data");
    FixtureImage fixture;
    fixture.sections = {{".rsrc", ""}};
    const uint32_t rva = fixture.SectionRva(0);
    fixture.sections[0].raw = SharingDirectory(rva, 4000, sharedName, 30000);
    fixture.directories[kDirectoryResource] = {rva, static_cast<uint32_t>(fixture.sections[0].raw.size())};
    const PeImage image(fixture.Build());
    try {
      ReadResourceTree(image);
      FAIL() << "accepted";
    } catch (const PeFormatError& error) {
      EXPECT_NE(std::string(error.what()).find("more than the file holds"), std::string::npos) << error.what();
    }
  }
  // Two entries sharing a small datum stay within the file and are read.
  FixtureImage fixture;
  fixture.sections = {{".rsrc", ""}};
  const uint32_t rva = fixture.SectionRva(0);
  fixture.sections[0].raw = SharingDirectory(rva, 2, false, 8);
  fixture.directories[kDirectoryResource] = {rva, static_cast<uint32_t>(fixture.sections[0].raw.size())};
  const ResourceTree tree = ReadResourceTree(PeImage(fixture.Build()));
  EXPECT_EQ(tree.at(ResourceName(10)).at(ResourceName(1)).size(), 2u);
}

}  // namespace
