#include <gtest/gtest.h>

#include "packer/pe_checksum.h"
#include "packer_pe_fixture.h"

namespace {

TEST(PackerPeChecksum, FoldsCarriesAndAddsTheLength) {
  // 0xFFFF + 0xFFFF = 0x1FFFE folds to 0xFFFF; plus the length 4.
  EXPECT_EQ(ComputePeChecksum(std::string(4, '\xFF'), 100), 0xFFFFu + 4);
  // An odd last byte counts as the low byte of a word.
  EXPECT_EQ(ComputePeChecksum(std::string("\x01\x02\x03", 3), 100), 0x0201u + 0x03 + 3);
  // The checksum field itself counts as zero.
  EXPECT_EQ(ComputePeChecksum(std::string("\x01\x00\xFF\xFF\xFF\xFF\x02\x00", 8), 2), 3u + 8);
}

// The reference value was computed once by pefile's generate_checksum on this image.
TEST(PackerPeChecksum, MatchesPefileOnAnImage) {
  FixtureImage fixture;
  fixture.sections = {{".text", std::string(0x1234, '\x90')}, {".data", "\x01\x02\x03\x04\x05"}};
  fixture.overlay = "odd";
  const std::string image = fixture.Build();
  EXPECT_EQ(ComputePeChecksum(image, 0x80 + 4 + 20 + 64), 0xA909u);
}

// The packer sums its output in the pieces it writes, which may split a word (and the
// checksum field) anywhere: every split gives the sum of the whole.
TEST(PackerPeChecksum, PiecesGiveTheSumOfTheWhole) {
  FixtureImage fixture;
  fixture.sections = {{".text", std::string(0x321, '\x90')}, {".data", "\x01\x02\x03\x04\x05"}};
  fixture.overlay = "odd";
  const std::string image = fixture.Build();
  const size_t checksumOffset = 0x80 + 4 + 20 + 64;
  const uint32_t whole = ComputePeChecksum(image, checksumOffset);
  for (const size_t first : {size_t{0}, size_t{1}, checksumOffset - 1, checksumOffset + 1, checksumOffset + 3,
                             size_t{0x201}, image.size() - 1}) {
    for (const size_t second : {first, first + 1, first + 2, image.size()}) {
      if (second > image.size()) continue;
      PeChecksum checksum(checksumOffset);
      checksum.Add(std::string_view(image).substr(0, first));
      checksum.Add(std::string_view(image).substr(first, second - first));
      checksum.Add(std::string_view(image).substr(second));
      EXPECT_EQ(checksum.Finish(), whole) << "split at " << first << " and " << second;
    }
  }
}

}  // namespace
