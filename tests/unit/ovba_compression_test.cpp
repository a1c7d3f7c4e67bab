#include "office/ovba_compression.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "office/loader_format_error.h"

namespace {

std::string Hex(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out += static_cast<char>(b);
  return out;
}

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string out;
  for (size_t i = 0; i < size; ++i) out += static_cast<char>(random() & 0xFF);
  return out;
}

// The three examples of MS-OVBA section 3.2, byte for byte.
struct Example {
  const char* name;
  std::string data;
  std::string compressed;
};

const Example kExamples[] = {
    {"no compression", "abcdefghijklmnopqrstuv.",
     Hex({0x01, 0x19, 0xB0, 0x00, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x00, 0x69, 0x6A, 0x6B, 0x6C, 0x6D,
          0x6E, 0x6F, 0x70, 0x00, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x2E})},
    {"normal", "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa",
     Hex({0x01, 0x2F, 0xB0, 0x00, 0x23, 0x61, 0x61, 0x61, 0x62, 0x63, 0x64, 0x65, 0x82, 0x66, 0x00, 0x70, 0x61, 0x67,
          0x68, 0x69, 0x6A, 0x01, 0x38, 0x08, 0x61, 0x6B, 0x6C, 0x00, 0x20, 0x6D, 0x6E, 0x6F, 0x70, 0x06, 0x71, 0x02,
          0x70, 0x04, 0x00, 0x72, 0x73, 0x74, 0x75, 0x76, 0x10, 0x77, 0x78, 0x79, 0x7A, 0x00, 0x2C})},
    {"maximum", std::string(73, 'a'), Hex({0x01, 0x03, 0xB0, 0x02, 0x61, 0x45, 0x00})},
};

TEST(OvbaCompression, DocumentedExamples) {
  for (const Example& example : kExamples) {
    SCOPED_TRACE(example.name);
    EXPECT_EQ(OvbaCompress(example.data), example.compressed);
    EXPECT_EQ(OvbaDecompress(example.compressed), example.data);
  }
}

TEST(OvbaCompression, RoundTripsAcrossChunks) {
  std::string text;
  for (int i = 0; text.size() < 20000; ++i) text += "Line " + std::to_string(i % 97) + " of the module\r\n";
  const struct {
    const char* name;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"one byte", "x"},
      {"exactly one chunk", text.substr(0, 4096)},
      {"one byte into a second chunk", text.substr(0, 4097)},
      {"several chunks of text", text},
      {"a whole incompressible chunk, stored raw", RandomBytes(4096, 1)},
      {"raw chunk then a short compressed one", RandomBytes(5000, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OvbaDecompress(OvbaCompress(c.data)), c.data);
  }
  EXPECT_LT(OvbaCompress(text).size(), text.size() / 4);
}

// A chunk stored raw always holds 4096 bytes, so a short incompressible last chunk comes
// back padded with zeros: the container does not record the data's length.
TEST(OvbaCompression, ShortRawChunkIsPadded) {
  const std::string data = RandomBytes(4000, 3);
  const std::string compressed = OvbaCompress(data);
  ASSERT_EQ(compressed.size(), 1u + 2u + 4096u);
  EXPECT_EQ(static_cast<uint8_t>(compressed[2]) & 0x80, 0);  // the raw flag
  EXPECT_EQ(OvbaDecompress(compressed), data + std::string(96, '\0'));
}

TEST(OvbaCompression, RejectsMalformedContainers) {
  const std::string normal = kExamples[1].compressed;
  const struct {
    const char* name;
    std::string container;
  } cases[] = {
      {"empty", ""},
      {"wrong signature byte", "\x02" + normal.substr(1)},
      {"wrong chunk signature", normal.substr(0, 2) + "\xC0" + normal.substr(3)},
      {"chunk cut off", normal.substr(0, normal.size() - 1)},
      {"header cut off", normal + "\x01"},
      {"copy token before the chunk", Hex({0x01, 0x02, 0xB0, 0x01, 0x00, 0x00})},
      {"raw chunk of 20 bytes", Hex({0x01, 0x13, 0x30}) + std::string(20, 'a')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(OvbaDecompress(c.container), LoaderFormatError);
  }
}

}  // namespace
