// The export names the packer reads from an add-in to know whether it answers the
// launcher's start probe: a well-formed directory gives its names, a damaged one none.
#include <gtest/gtest.h>

#include <cctype>

#include "packer/pe_exports.h"
#include "tests/unit/packer_pe_fixture.h"

namespace {

constexpr uint32_t kDirectoryAt = 0x10;  // the export directory's offset in the section

struct ExportCase {
  const char* name;
  uint32_t nameCount;    // as the directory says
  uint32_t tableShift;   // added to the name table's RVA
  uint32_t firstNameAt;  // offset of the first name in the section (0: the real one)
  std::vector<std::string> expected;
  bool answers;  // SheetpackStartAnswer among them
};

// One section: the directory, the name RVA table after it, then the names.
std::string ImageExporting(const std::vector<std::string>& names, const ExportCase& c) {
  FixtureImage image;
  const uint32_t rva = image.SectionRva(0);
  const uint32_t tableAt = kDirectoryAt + 40;
  const uint32_t namesAt = tableAt + 4 * static_cast<uint32_t>(names.size());
  std::string raw(namesAt, '\0');
  StoreU32At(raw, kDirectoryAt + 24, c.nameCount);
  StoreU32At(raw, kDirectoryAt + 32, rva + tableAt + c.tableShift);
  uint32_t at = namesAt;
  for (size_t i = 0; i < names.size(); ++i) {
    StoreU32At(raw, tableAt + 4 * i, rva + (i == 0 && c.firstNameAt ? c.firstNameAt : at));
    raw += names[i] + '\0';
    at += static_cast<uint32_t>(names[i].size()) + 1;
  }
  image.sections.push_back({".edata", raw});
  image.directories[0] = {rva + kDirectoryAt, 40};
  return image.Build();
}

const std::vector<std::string> kNames = {"DummyFunc9", "SheetpackStartAnswer"};

const ExportCase kCases[] = {
    {"whole directory", 2, 0, 0, kNames, true},
    {"fewer names counted", 1, 0, 0, {"DummyFunc9"}, false},
    {"name table outside the file", 2, 0x100000, 0, {}, false},
    {"count beyond any DLL", 0x7FFFFFFF, 0, 0, {}, false},
    {"name outside the section", 2, 0, 0x200000, {"SheetpackStartAnswer"}, true},
};

class PeExports : public testing::TestWithParam<ExportCase> {};

TEST_P(PeExports, ReadsOnlyWhatLiesInTheFile) {
  const ExportCase& c = GetParam();
  PeImage image(ImageExporting(kNames, c));
  EXPECT_EQ(ExportedNames(image), c.expected);
  EXPECT_EQ(ExportsName(image, "SheetpackStartAnswer"), c.answers);
}

INSTANTIATE_TEST_SUITE_P(Cases, PeExports, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ExportCase>& info) {
                           std::string name = info.param.name;
                           for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

TEST(PeExports, AnImageWithoutExportsHasNoNames) {
  FixtureImage image;
  image.sections.push_back({".text", std::string(16, '\xC3')});
  EXPECT_TRUE(ExportedNames(PeImage(image.Build())).empty());
}

}  // namespace
