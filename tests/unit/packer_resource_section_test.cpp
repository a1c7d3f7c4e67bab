#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/encoding/byte_io.h"
#include "packer/resource_section.h"
#include "packer_pe_fixture.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000;

// An image whose second section holds `section` (written for that section's RVA).
std::string ImageWithResources(const std::function<std::string(uint32_t)>& section) {
  FixtureImage image;
  image.sections = {{".text", std::string(0x80, 'c')}, {".rsrc", ""}};
  const uint32_t rva = image.SectionRva(1);
  image.sections[1].raw = section(rva);
  image.directories[kDirectoryResource] = {rva, static_cast<uint32_t>(image.sections[1].raw.size())};
  return image.Build();
}

ResourceTree SampleTree() {
  ResourceTree tree;
  tree[ResourceName(PackedItemType())][ResourceName(1100)][1033] = {"settings", 0};
  tree[ResourceName(PackedItemType())][ResourceName(1020)][1033] = {std::string(1001, 'w'), 0};
  tree[ResourceName(PackedItemType())][ResourceName(u"NAMED")][1033] = {"n", 0};
  tree[ResourceName(24)][ResourceName(1)][1033] = {"<manifest/>", 1252};
  tree[ResourceName(3)][ResourceName(2)][1031] = {"icon de", 0};
  tree[ResourceName(3)][ResourceName(2)][1033] = {"icon en", 0};
  tree[ResourceName(u"ZZ")][ResourceName(7)][0] = {"", 0};
  return tree;
}

TEST(PackerResourceSection, WrittenTreeReadsBackUnchanged) {
  const ResourceTree tree = SampleTree();
  PeImage image(ImageWithResources([&](uint32_t rva) { return WriteResourceSection(tree, rva); }));
  EXPECT_EQ(ReadResourceTree(image), tree);
}

TEST(PackerResourceSection, ImageWithoutResourcesHasAnEmptyTree) {
  FixtureImage fixture;
  fixture.sections = {{".text", "code"}};
  EXPECT_TRUE(ReadResourceTree(PeImage(fixture.Build())).empty());
}

// The loader binary-searches each table: named entries first, ordered by UTF-16 code
// unit (so U+10000, stored as D800 DC00, sorts before U+FF21), then ids ascending.
TEST(PackerResourceSection, TablesAreOrderedForBinarySearch) {
  ResourceTree tree;
  for (const char16_t* name : {u"b", u"\uFF21", u"B", u"EXTRSC", u"\U00010000", u"a", u"\u00E9"}) {
    tree[ResourceName(std::u16string(name))][ResourceName(1)][1033] = {"x", 0};
  }
  for (uint32_t id : {300u, 3u, 14u}) tree[ResourceName(id)][ResourceName(1)][1033] = {"y", 0};
  const uint32_t rva = 0x5000;
  const std::string section = WriteResourceSection(tree, rva);

  EXPECT_EQ(ReadU32At(section, 4), 0u) << "time stamp";
  ASSERT_EQ(ReadU16At(section, 12), 7u) << "named entries";
  ASSERT_EQ(ReadU16At(section, 14), 3u) << "id entries";
  std::vector<std::u16string> names;
  std::vector<uint32_t> ids;
  for (size_t i = 0; i < 10; ++i) {
    const uint32_t nameField = ReadU32At(section, 16 + 8 * i);
    const uint32_t target = ReadU32At(section, 20 + 8 * i);
    EXPECT_TRUE(target & kHighBit) << "entry " << i << " must point at a sub-table";
    if (i < 7) {
      ASSERT_TRUE(nameField & kHighBit);
      const size_t at = nameField & ~kHighBit;
      std::u16string name;
      for (size_t c = 0; c < ReadU16At(section, at); ++c) name.push_back(ReadU16At(section, at + 2 + 2 * c));
      names.push_back(name);
    } else {
      ids.push_back(nameField);
    }
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"B", u"EXTRSC", u"a", u"b", u"\u00E9", u"\U00010000", u"\uFF21"}));
  EXPECT_EQ(ids, (std::vector<uint32_t>{3, 14, 300}));
}

TEST(PackerResourceSection, DataIsAlignedAndAddressedByRva) {
  ResourceTree tree;
  for (uint32_t id = 1; id <= 5; ++id) tree[ResourceName(10)][ResourceName(id)][1033] = {std::string(id, 'a'), 0};
  const uint32_t rva = 0x7000;
  const std::string section = WriteResourceSection(tree, rva);
  // root + one name table + five language tables, then the five data entries.
  const size_t dataEntries = (16 + 8) + (16 + 5 * 8) + 5 * (16 + 8);
  for (uint32_t id = 1; id <= 5; ++id) {
    const size_t entry = dataEntries + 16 * (id - 1);
    const uint32_t dataRva = ReadU32At(section, entry);
    EXPECT_EQ(dataRva % 4, 0u);
    EXPECT_EQ(ReadU32At(section, entry + 4), id);
    EXPECT_EQ(section.substr(dataRva - rva, id), std::string(id, 'a'));
  }
}

struct DamageCase {
  const char* what;
  std::function<void(std::string&)> damage;
  const char* message;
};

// Offsets in the section of a one-item tree: root table at 0 (entry at 16), name table
// at 24 (entry at 40), language table at 48 (entry at 64), data entry at 72, the type
// name "EXTRSC" at 88.
TEST(PackerResourceSection, RejectsDamagedDirectories) {
  ResourceTree tree;
  tree[ResourceName(PackedItemType())][ResourceName(1100)][1033] = {"settings", 0};
  const std::vector<DamageCase> cases = {
      {"language table is the root", [](std::string& s) { StoreU32At(s, 44, kHighBit | 0); }, "loops back"},
      {"name table is itself", [](std::string& s) { StoreU32At(s, 20, kHighBit | 0); }, "loops back"},
      {"language entry points at a table", [](std::string& s) { StoreU32At(s, 68, kHighBit | 72); }, "deeper than three"},
      {"type entry points at data", [](std::string& s) { StoreU32At(s, 20, 72); }, "lacks its sub-table"},
      {"entry count beyond the section", [](std::string& s) { StoreU16At(s, 14, 1000); }, "runs past the end"},
      {"sub-table beyond the section", [](std::string& s) { StoreU32At(s, 20, kHighBit | 0x7FFFFFF0); }, "runs past the end"},
      {"name beyond the section", [](std::string& s) { StoreU32At(s, 16, kHighBit | 0xFFFF); }, "name runs past"},
      {"data entry beyond the section", [](std::string& s) { StoreU32At(s, 68, 0x7FFFFFF0); }, "data entry runs past"},
      {"data outside every section", [](std::string& s) { StoreU32At(s, 72, 0x90000000); }, "outside the file"},
      {"data size beyond the section", [](std::string& s) { StoreU32At(s, 76, 0x7FFFFFFF); }, "outside the file"},
      {"named language", [](std::string& s) { StoreU32At(s, 64, kHighBit | 88); }, "language entry has a name"},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    PeImage image(ImageWithResources([&](uint32_t rva) {
      std::string section = WriteResourceSection(tree, rva);
      c.damage(section);
      return section;
    }));
    try {
      ReadResourceTree(image);
      ADD_FAILURE() << "accepted";
    } catch (const PeFormatError& error) {
      EXPECT_THAT(error.what(), testing::HasSubstr(c.message));
    }
  }
}

TEST(PackerResourceSection, RejectsDuplicateEntriesAndMisplacedDirectory) {
  ResourceTree tree;
  tree[ResourceName(10)][ResourceName(1)][1033] = {"a", 0};
  tree[ResourceName(10)][ResourceName(2)][1033] = {"b", 0};
  // Two id entries in the name table at 24 (entries at 40 and 48); make both id 1.
  PeImage duplicate(ImageWithResources([&](uint32_t rva) {
    std::string section = WriteResourceSection(tree, rva);
    StoreU32At(section, 48, 1);
    return section;
  }));
  EXPECT_THROW(ReadResourceTree(duplicate), PeFormatError);

  FixtureImage fixture;
  fixture.sections = {{".text", "code"}};
  fixture.directories[kDirectoryResource] = {0x50000, 0x100};
  try {
    ReadResourceTree(PeImage(fixture.Build()));
    ADD_FAILURE() << "accepted";
  } catch (const PeFormatError& error) {
    EXPECT_THAT(error.what(), testing::HasSubstr("outside the file's sections"));
  }
}

}  // namespace
