#include "core/encoding/byte_io.h"

#include <gtest/gtest.h>

TEST(ByteReader, ReadsLittleEndianAndMissingBytesAsZero) {
  std::string bytes("\x01\x02\x03\x04\x05", 5);
  ByteReader reader(bytes);
  EXPECT_EQ(reader.U32(), 0x04030201u);
  EXPECT_EQ(reader.U32(), 0x00000005u);  // only one byte was left
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_EQ(reader.U16(), 0);
  EXPECT_EQ(ReadU32At(bytes, 3), 0x0504u);
  EXPECT_EQ(ReadU32At(bytes, 100), 0u);
}

TEST(ByteReader, TakeStopsAtTheEnd) {
  ByteReader reader("abcdef", 4);
  EXPECT_EQ(reader.Take(10), "ef");
  EXPECT_EQ(reader.Take(1), "");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(ByteWriter, RoundTripsThroughTheReader) {
  std::string out;
  AppendU16(out, 0xBEEF);
  AppendU32(out, 0x12345678);
  AppendF64(out, 45000.25);
  StoreU32At(out, 14, 7);
  ByteReader reader(out);
  EXPECT_EQ(reader.U16(), 0xBEEF);
  EXPECT_EQ(reader.U32(), 0x12345678u);
  EXPECT_EQ(reader.F64(), 45000.25);
  EXPECT_EQ(reader.U32(), 7u);
}
