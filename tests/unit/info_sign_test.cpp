// The notice's information sign: the embedded bytes are the committed PNG, and it is
// a 32 x 32, 8-bit RGBA picture.
#include "launcher/ui/info_sign.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>


namespace {

uint32_t BigEndianU32(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

TEST(InfoSign, EmbeddedBytesAreTheCommittedPicture) {
  std::ifstream file(std::string(SHEETPACK_SOURCE_DIR) + "/launcher/res/info-sign.png", std::ios::binary);
  ASSERT_TRUE(file) << "launcher/res/info-sign.png is missing";
  std::string png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(std::string(InfoSignPng()), png) << "run scripts/gen-info-sign and commit both files";
}

TEST(InfoSign, IsA32By32RgbaPng) {
  std::string_view png = InfoSignPng();
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string_view("\x89PNG\r\n\x1A\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndianU32(png, 16), 32u);
  EXPECT_EQ(BigEndianU32(png, 20), 32u);
  EXPECT_EQ(static_cast<uint8_t>(png[24]), 8) << "bit depth";
  EXPECT_EQ(static_cast<uint8_t>(png[25]), 6) << "colour type RGBA";
}

}  // namespace
