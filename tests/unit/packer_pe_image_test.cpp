#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "packer/pe_image.h"
#include "packer_pe_fixture.h"

namespace {

FixtureImage TwoSections(bool pe32Plus) {
  FixtureImage image;
  image.pe32Plus = pe32Plus;
  image.sections = {{".text", std::string(0x300, 'c')}, {".data", std::string(0x20, 'd'), 0x2400}};
  image.overlay = "OVERLAY";
  return image;
}

TEST(PackerPeImage, ReadsBothHeaderKinds) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    PeImage image(TwoSections(pe32Plus).Build());
    EXPECT_EQ(image.IsPe32Plus(), pe32Plus);
    EXPECT_EQ(image.Machine(), pe32Plus ? kMachineAmd64 : kMachineI386);
    EXPECT_EQ(image.FileAlignment(), 0x200u);
    ASSERT_EQ(image.Sections().size(), 2u);
    EXPECT_EQ(image.Sections()[1].name, ".data");
    EXPECT_EQ(image.Sections()[1].virtualAddress, 0x2000u);
    EXPECT_EQ(image.Sections()[1].VirtualSpan(), 0x2400u);
    EXPECT_EQ(image.Bytes().substr(image.EndOfSectionData()), "OVERLAY");
    EXPECT_EQ(image.ReadRva(0x1010, 4).value(), "cccc");
    // Virtual space beyond the raw data has no bytes in the file.
    EXPECT_FALSE(image.ReadRva(0x2000 + 0x1F0, 0x20).has_value());
    EXPECT_FALSE(image.ReadRva(0x9000, 1).has_value());
  }
}

struct BadImageCase {
  const char* what;
  std::function<void(std::string&)> damage;
  const char* message;
};

TEST(PackerPeImage, RejectsMalformedFiles) {
  const std::string good = TwoSections(true).Build();
  const size_t coff = 0x84;
  const size_t optional = coff + 20;
  const size_t sections = optional + 240;
  const std::vector<BadImageCase> cases = {
      {"empty file", [](std::string& f) { f.clear(); }, "no MZ header"},
      {"text file", [](std::string& f) { f = std::string(100, 'x'); }, "no MZ header"},
      {"PE offset past the end", [](std::string& f) { StoreU32At(f, 0x3C, 0xFFFFFFF0); }, "truncated PE header"},
      {"no PE signature", [](std::string& f) { f[0x80] = 'X'; }, "no PE signature"},
      {"cut inside the optional header", [&](std::string& f) { f.resize(optional + 50); }, "truncated optional header"},
      {"unknown magic", [&](std::string& f) { StoreU16At(f, optional, 0x30B); }, "magic"},
      {"optional header too small", [&](std::string& f) { StoreU16At(f, coff + 16, 40); }, "too small"},
      {"directories past the header", [&](std::string& f) { StoreU16At(f, coff + 16, 120); }, "data directories"},
      {"file alignment not a power of two", [&](std::string& f) { StoreU32At(f, optional + 36, 0x300); }, "alignment"},
      {"section alignment below file alignment", [&](std::string& f) { StoreU32At(f, optional + 32, 0x100); }, "alignment"},
      {"headers larger than the file", [&](std::string& f) { StoreU32At(f, optional + 60, 0x7FFFFFFF); }, "headers end past"},
      {"section count in the thousands", [&](std::string& f) { StoreU16At(f, coff + 2, 5000); }, "too many sections"},
      {"section table past the end", [&](std::string& f) { StoreU16At(f, coff + 2, 90); }, "truncated section table"},
      {"truncated section data", [&](std::string& f) { f.resize(0x500); }, "ends past the end of the file"},
      {"raw offset out of range", [&](std::string& f) { StoreU32At(f, sections + 20, 0xFFFFFF00); }, "ends past the end"},
      {"sections out of order", [&](std::string& f) { StoreU32At(f, sections + 40 + 12, 0x800); }, "overlap or are out of order"},
      {"section beyond 4 GB", [&](std::string& f) { StoreU32At(f, sections + 40 + 8, 0xFFFFF000); }, "overlap or are out of order"},
  };
  for (const BadImageCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string file = good;
    c.damage(file);
    try {
      PeImage image(file);
      ADD_FAILURE() << "accepted";
    } catch (const PeFormatError& error) {
      EXPECT_THAT(error.what(), testing::HasSubstr(c.message));
    }
  }
}

}  // namespace
