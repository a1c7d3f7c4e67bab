#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/encoding/byte_io.h"
#include "packer/pe_checksum.h"
#include "packer/pe_resource_update.h"
#include "packer/resource_section.h"
#include "packer_pe_fixture.h"

namespace {

const std::string kCode(0x321, 'c');
const std::string kRelocs = "RELOCATION-BLOCKS";
const std::string kOther(0x40, 'o');
const std::string kOverlay = "OVERLAY-DATA";

ResourceTree TreeOf(size_t itemSize) {
  ResourceTree tree;
  tree[ResourceName(24)][ResourceName(1)][1033] = {"<manifest/>", 0};
  if (itemSize) tree[ResourceName(PackedItemType())][ResourceName(1020)][1033] = {std::string(itemSize, 'w'), 0};
  return tree;
}

// Section layouts by their names: ".rsrc" holds TreeOf(0), ".reloc" the relocations.
FixtureImage Layout(const std::vector<std::string>& names, bool pe32Plus) {
  FixtureImage image;
  image.pe32Plus = pe32Plus;
  image.overlay = kOverlay;
  for (const std::string& name : names) {
    if (name == ".text") image.sections.push_back({name, kCode, 0, 0x60000020});
    if (name == ".reloc") image.sections.push_back({name, kRelocs, 0, 0x42000040});
    if (name == ".data") image.sections.push_back({name, kOther});
    if (name == ".rsrc") image.sections.push_back({name, ""});
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const uint32_t rva = image.SectionRva(i);
    if (names[i] == ".rsrc") {
      image.sections[i].raw = WriteResourceSection(TreeOf(0), rva);
      image.directories[kDirectoryResource] = {rva, static_cast<uint32_t>(image.sections[i].raw.size())};
    }
    if (names[i] == ".reloc") image.directories[kDirectoryBaseReloc] = {rva + 4, 8};
  }
  return image;
}

const PeSection* Named(const PeImage& image, const std::string& name) {
  for (const PeSection& section : image.Sections()) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

struct PlacementCase {
  std::vector<std::string> sections;
  ResourcePlacement expected;
};

// Every layout, every header kind, an item that shrinks the section and one that grows
// it across several section-alignment boundaries.
TEST(PackerResourceUpdate, KeepsEveryLayoutValid) {
  const std::vector<PlacementCase> cases = {
      {{".text", ".rsrc"}, ResourcePlacement::kInPlace},
      {{".text", ".rsrc", ".reloc"}, ResourcePlacement::kInPlaceMovingReloc},
      {{".text", ".reloc", ".rsrc"}, ResourcePlacement::kInPlace},
      {{".text", ".rsrc", ".data"}, ResourcePlacement::kNewSection},
      {{".text", ".rsrc", ".data", ".reloc"}, ResourcePlacement::kNewSection},
      {{".text", ".reloc"}, ResourcePlacement::kNewSection},
  };
  for (const PlacementCase& c : cases) {
    for (bool pe32Plus : {false, true}) {
      for (size_t itemSize : {size_t{0}, size_t{3 * 0x1000 + 5}}) {
        SCOPED_TRACE(testing::PrintToString(c.sections) + (pe32Plus ? " PE32+" : " PE32") + " item " +
                     std::to_string(itemSize));
        const FixtureImage fixture = Layout(c.sections, pe32Plus);
        const PeImage before(fixture.Build());
        const ResourceTree tree = TreeOf(itemSize);
        const UpdatedImage updated = ReplaceResources(before, tree, false);
        EXPECT_EQ(updated.placement, c.expected);
        const std::string bytes = updated.bytes.Flatten();

        const PeImage after(bytes);  // checks order, overlap and bounds again
        EXPECT_EQ(ReadResourceTree(after), tree);
        const size_t optional = after.OptionalHeaderOffset();
        EXPECT_EQ(ReadU32At(bytes, after.ChecksumOffset()),
                  ComputePeChecksum(bytes, after.ChecksumOffset()));
        EXPECT_EQ(bytes.substr(bytes.size() - kOverlay.size()), kOverlay);
        EXPECT_EQ(after.Sections().size(),
                  before.Sections().size() + (c.expected == ResourcePlacement::kNewSection ? 1 : 0));

        uint32_t initialized = 0;
        for (const PeSection& section : after.Sections()) {
          EXPECT_EQ(section.rawOffset % 0x200, 0u) << section.name;
          EXPECT_EQ(section.rawSize % 0x200, 0u) << section.name;
          if (section.characteristics & 0x40) initialized += section.rawSize;
        }
        EXPECT_EQ(ReadU32At(bytes, optional + 8), initialized) << "SizeOfInitializedData";
        const PeSection& last = after.Sections().back();
        EXPECT_EQ(ReadU32At(bytes, optional + 56), AlignUp(last.virtualAddress + last.VirtualSpan(), 0x1000))
            << "SizeOfImage";

        const PeSection* code = Named(after, ".text");
        EXPECT_EQ(code->virtualAddress, 0x1000u);
        EXPECT_EQ(bytes.substr(code->rawOffset, kCode.size()), kCode);
        if (const PeSection* reloc = Named(after, ".reloc")) {
          EXPECT_EQ(bytes.substr(reloc->rawOffset, kRelocs.size()), kRelocs);
          EXPECT_EQ(after.Directory(kDirectoryBaseReloc).rva, reloc->virtualAddress + 4);
          EXPECT_EQ(after.Directory(kDirectoryBaseReloc).size, 8u);
        }
      }
    }
  }
}

TEST(PackerResourceUpdate, RefusesWhenNoSectionHeaderFits) {
  // Three section headers end exactly at the 0x200 bytes of headers.
  FixtureImage fixture = Layout({".text", ".rsrc", ".data"}, true);
  fixture.sizeOfHeaders = 0x200;
  const PeImage image(fixture.Build());
  try {
    ReplaceResources(image, TreeOf(10), false);
    ADD_FAILURE() << "accepted";
  } catch (const PeFormatError& error) {
    EXPECT_THAT(error.what(), testing::HasSubstr("no room"));
  }
}

TEST(PackerResourceUpdate, SignedImageNeedsStripping) {
  FixtureImage fixture = Layout({".text", ".rsrc", ".reloc"}, true);
  const std::string certificate(0x48, 'S');
  const uint32_t certificateOffset = static_cast<uint32_t>(fixture.Build().size());
  fixture.overlay += certificate;
  fixture.directories[kDirectorySecurity] = {certificateOffset, static_cast<uint32_t>(certificate.size())};
  const PeImage image(fixture.Build());

  try {
    ReplaceResources(image, TreeOf(10), false);
    ADD_FAILURE() << "accepted";
  } catch (const PeFormatError& error) {
    EXPECT_THAT(error.what(), testing::HasSubstr("--strip-signature"));
  }

  const std::string stripped = ReplaceResources(image, TreeOf(10), true).bytes.Flatten();
  const PeImage after(stripped);
  EXPECT_EQ(after.Directory(kDirectorySecurity).size, 0u);
  EXPECT_EQ(after.Directory(kDirectorySecurity).rva, 0u);
  EXPECT_EQ(stripped.substr(after.EndOfSectionData()), kOverlay);
}

}  // namespace
