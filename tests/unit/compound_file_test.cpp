#include "office/compound_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/compound_file_layout.h"
#include "office/loader_format_error.h"
#include "compound_file_fixture.h"

namespace {

std::string Pattern(size_t size, char seed) {
  std::string out;
  for (size_t i = 0; i < size; ++i) out += static_cast<char>(seed + i % 251);
  return out;
}

CfbEntry Sample() {
  std::vector<CfbEntry> many;
  for (int i = 0; i < 40; ++i) many.push_back(CfbEntry::Stream("s" + std::to_string(i), Pattern(70 + i, 'a')));
  return CfbEntry::Storage("", {
      CfbEntry::Stream("Workbook", Pattern(4096, 'w')),  // at the cut-off: regular sectors
      CfbEntry::Stream("small", Pattern(4095, 's')),     // below it: the mini stream
      CfbEntry::Stream("empty", ""),
      CfbEntry::Stream("large", Pattern(300000, 'l')),   // several FAT sectors
      CfbEntry::Storage("Outer", {CfbEntry::Storage("Inner", {CfbEntry::Stream("deep", "bytes")}),
                                  CfbEntry::Storage("Hollow", {})}),
      CfbEntry::Storage("Many", std::move(many)),
  });
}

// Two trees hold the same entries and bytes, in any order of siblings.
void ExpectSameTree(const CfbEntry& expected, const CfbEntry& actual, const std::string& path) {
  SCOPED_TRACE(path);
  EXPECT_EQ(actual.storage, expected.storage);
  EXPECT_EQ(actual.data, expected.data);
  ASSERT_EQ(actual.children.size(), expected.children.size());
  for (const CfbEntry& child : expected.children) {
    const CfbEntry* found = actual.Find(child.name);
    ASSERT_NE(found, nullptr) << child.name;
    ExpectSameTree(child, *found, path + "/" + child.name);
  }
}

TEST(CompoundFile, ReadsBackWhatItWrote) {
  const CfbEntry written = Sample();
  const std::string file = WriteCompoundFile(written);
  EXPECT_EQ(file.size() % 512, 0u);
  ExpectSameTree(written, ReadCompoundFile(file), "");
}

TEST(CompoundFile, HeaderOfVersionThree) {
  const std::string file = WriteCompoundFile(Sample());
  EXPECT_EQ(file.substr(0, 8), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
  EXPECT_EQ(ReadU16At(file, 0x1A), 3);      // major version
  EXPECT_EQ(ReadU16At(file, 0x1C), 0xFFFE);  // byte order
  EXPECT_EQ(ReadU16At(file, 0x1E), 9);      // 512-byte sectors
  EXPECT_EQ(ReadU16At(file, 0x20), 6);      // 64-byte mini sectors
  EXPECT_EQ(ReadU32At(file, 0x38), 4096u);  // mini stream cut-off
  EXPECT_EQ(ReadU32At(file, 0x44), 0xFFFFFFFEu);  // no DIFAT sectors
  // Enough FAT sectors for every sector of the file, and each listed in the header.
  const uint32_t fatSectors = ReadU32At(file, 0x2C);
  EXPECT_GE(fatSectors * 128, file.size() / 512 - 1);
  EXPECT_GT(fatSectors, 1u);
  for (uint32_t i = 0; i < 109; ++i) EXPECT_EQ(ReadU32At(file, 0x4C + 4 * i), i < fatSectors ? i : 0xFFFFFFFFu);
}

// Past 109 FAT sectors (about 7 MB) the header cannot list them all: DIFAT sectors list
// the rest, chained, and the FAT marks them. Sizes around each step of the chain.
TEST(CompoundFile, DifatSectorsListTheFatPastTheHeader) {
  for (const size_t size : {size_t{109 * 128 * 512 - 8192}, size_t{109 * 128 * 512 + 1}, size_t{(109 + 127) * 128 * 512 + 1}}) {
    SCOPED_TRACE(size);
    const CfbEntry written = CfbEntry::Storage("", {CfbEntry::Stream("EncryptedPackage", Pattern(size, 'p')),
                                                    CfbEntry::Stream("small", "bytes")});
    const std::string file = WriteCompoundFile(written);
    ExpectSameTree(written, ReadCompoundFile(file), "");
    const uint32_t fatSectors = ReadU32At(file, cfb::kHeaderFatSectorCount);
    const uint32_t difatSectors = ReadU32At(file, cfb::kHeaderDifatSectorCount);
    EXPECT_GE(uint64_t{fatSectors} * 128, file.size() / 512 - 1);
    EXPECT_EQ(difatSectors, fatSectors <= 109 ? 0u : (fatSectors - 109 + 126) / 127);
    uint32_t difat = ReadU32At(file, cfb::kHeaderFirstDifatSector);
    for (uint32_t d = 0; d < difatSectors; ++d) {
      ASSERT_EQ(difat, fatSectors + d);
      EXPECT_EQ(ReadU32At(file, 512 + 4 * size_t{difat}), cfb::kDifatSector);  // the FAT lies from sector 0 on
      difat = ReadU32At(file, 512 + 512 * size_t{difat} + 508);
    }
    EXPECT_EQ(difat, cfb::kEndOfChain);
  }
}

// A tree handed over gives the same file, built in the first large stream's own buffer
// when its capacity has room for the rest: a large workbook is never copied.
TEST(CompoundFile, AHandedOverTreeIsWrittenInItsStreamsBuffer) {
  std::string stream = Pattern(300000, 'p');
  stream.reserve(stream.size() + 64 * 1024);
  const char* buffer = stream.data();
  CfbEntry tree = CfbEntry::Storage("", {CfbEntry::Stream("small", "bytes"), CfbEntry::Stream("tail", Pattern(5000, 't'))});
  const std::string copied = WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("small", "bytes"),
                                                                      CfbEntry::Stream("tail", Pattern(5000, 't')),
                                                                      CfbEntry::Stream("Package", stream)}));
  tree.children.push_back(CfbEntry::Stream("Package", std::move(stream)));
  const std::string taken = WriteCompoundFile(std::move(tree));
  EXPECT_EQ(taken, copied);
  EXPECT_EQ(taken.data(), buffer);
}

// Siblings come back in the order of the format: shorter names first, then by upper case.
TEST(CompoundFile, SiblingsInNameOrder) {
  const CfbEntry root = CfbEntry::Storage("", {CfbEntry::Stream("dir", "1"), CfbEntry::Stream("_VBA_PROJECT", "2"),
                                               CfbEntry::Stream("ThisWorkbook", "3"), CfbEntry::Stream("Sheet1", "4"),
                                               CfbEntry::Stream("b", "5"), CfbEntry::Stream("A", "6"),
                                               CfbEntry::Stream("PROJECTwm", "7"), CfbEntry::Stream("PROJECT", "8")});
  std::vector<std::string> names;
  for (const CfbEntry& child : ReadCompoundFile(WriteCompoundFile(root)).children) names.push_back(child.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b", "dir", "Sheet1", "PROJECT", "PROJECTwm", "ThisWorkbook",
                                             "_VBA_PROJECT"}));
}

// The directory's raw entries, read through the FAT chain of its sectors.
std::vector<std::string> DirectoryEntries(const std::string& file) {
  std::vector<std::string> entries;
  for (uint32_t sector = ReadU32At(file, cfb::kHeaderFirstDirectorySector); sector != cfb::kEndOfChain;
       sector = ReadU32At(file, 512 + 4 * sector)) {
    for (uint32_t i = 0; i < 4; ++i) entries.push_back(file.substr((sector + 1) * 512 + i * 128, 128));
    if (entries.size() > 4096) break;
  }
  return entries;
}

// Every storage's siblings form a red-black tree: a black root, no red entry with a red
// child, the same number of black entries on every path, and names in order in between.
TEST(CompoundFile, SiblingTreesAreRedBlackTrees) {
  for (int count = 1; count <= 40; ++count) {
    SCOPED_TRACE(count);
    std::vector<CfbEntry> streams;
    for (int i = 0; i < count; ++i) streams.push_back(CfbEntry::Stream("n" + std::to_string(i * 7919 % 1000), "x"));
    const std::vector<std::string> entries = DirectoryEntries(WriteCompoundFile(CfbEntry::Storage("", std::move(streams))));
    auto color = [&](uint32_t id) { return static_cast<uint8_t>(entries.at(id)[cfb::kEntryColor]); };
    auto name = [&](uint32_t id) {
      return Utf16LeBytesToString(std::string_view(entries.at(id)).substr(0, ReadU16At(entries.at(id), cfb::kEntryNameLength) - 2));
    };
    std::vector<std::u16string> inOrder;
    // The black height of the subtree at id; -1 when its paths differ.
    std::function<int(uint32_t, bool)> check = [&](uint32_t id, bool parentRed) -> int {
      if (id == cfb::kNoEntry) return 1;
      const bool red = color(id) == cfb::kRed;
      EXPECT_FALSE(red && parentRed) << "red entry " << id << " under a red parent";
      const int left = check(ReadU32At(entries.at(id), cfb::kEntryLeft), red);
      inOrder.push_back(name(id));
      const int right = check(ReadU32At(entries.at(id), cfb::kEntryRight), red);
      EXPECT_EQ(left, right) << "entry " << id << " has paths of different black height";
      return left + (red ? 0 : 1);
    };
    const uint32_t root = ReadU32At(entries.at(0), cfb::kEntryChild);
    EXPECT_EQ(color(root), cfb::kBlack);
    check(root, false);
    ASSERT_EQ(inOrder.size(), static_cast<size_t>(count));
    EXPECT_TRUE(std::is_sorted(inOrder.begin(), inOrder.end(), CfbNameLess));
  }
}

TEST(CompoundFile, FindIgnoresAsciiCase) {
  const CfbEntry root = Sample();
  ASSERT_NE(root.Find("outer/INNER/Deep"), nullptr);
  EXPECT_EQ(root.Find("outer/INNER/Deep")->data, "bytes");
  EXPECT_EQ(root.Find("Outer/Deep"), nullptr);
  EXPECT_EQ(root.Find(""), &root);
}

TEST(CompoundFile, NamesTheFormatCannotHoldAreRefused) {
  EXPECT_NO_THROW(WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream(std::string(31, 'n'), "x")})));
  for (const char* name : {"nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn", "a/b", "a\\b", "a:b", "a!b"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream(name, "x")})), LoaderFormatError);
  }
  // Names compare without regard to case, so these two are one name.
  EXPECT_THROW(WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Storage("S", {}), CfbEntry::Stream("s", "x")})),
               LoaderFormatError);
}

TEST(CompoundFile, RejectsDamagedFiles) {
  const std::string good = WriteCompoundFile(Sample());
  const uint32_t directory = ReadU32At(good, 0x30);
  auto patched = [&](size_t offset, uint32_t value) {
    std::string file = good;
    StoreU32At(file, offset, value);
    return file;
  };
  // The directory is contiguous in the files the writer makes.
  auto entryOffset = [&](const std::u16string& name) {
    const std::string bytes = StringToUtf16LeBytes(name) + std::string(2, '\0');
    size_t at = (directory + 1) * 512;
    while (good.compare(at, bytes.size(), bytes) != 0) at += 128;
    return at;
  };
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"not a compound file", std::string(1024, 'x')},
      {"cut in half", good.substr(0, good.size() / 2)},
      {"FAT chain of the directory loops on itself", patched(512 + 4 * directory, directory)},
      {"root's child links back to the root", patched((directory + 1) * 512 + 0x4C, 0)},
      {"FAT sector past the end", patched(0x4C, 100000)},
      // Listed again and again, one sector would make the FAT, and what it reads, grow without
      // the file growing.
      {"a FAT sector listed twice", patched(0x4C + 4, ReadU32At(good, 0x4C))},
      {"two streams share their sectors",
       patched(entryOffset(u"Workbook") + 0x74, ReadU32At(good, entryOffset(u"large") + 0x74))},
      {"a name with an unpaired surrogate", patched((directory + 1) * 512 + 128, 0x0041D800)},
      // A '/' in a name would make the entry unreachable by its path.
      {"a name with a slash", patched((directory + 1) * 512 + 128, 0x0041002F)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(ReadCompoundFile(c.file), LoaderFormatError);
  }
}

// Thousands of entries linked by their left links alone: a tree walk that recursed once per
// link would exhaust the stack; the walk keeps its own.
TEST(CompoundFile, ReadsADirectoryLinkedAsOneLongList) {
  constexpr uint32_t kEntries = 20000;
  const std::string file = DirectoryAsOneLongList(kEntries);
  EXPECT_EQ(ReadCompoundFile(file).children.size(), size_t{kEntries});
}

}  // namespace
