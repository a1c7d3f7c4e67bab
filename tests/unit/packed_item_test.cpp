#include "core/payload/packed_item.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>

#include "core/encoding/byte_io.h"

namespace {

std::string Compress(std::string_view bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION);
  out.resize(size);
  return out;
}

struct Header {
  uint32_t magic = kContainerMagic;
  uint32_t headerSize = 24;
  uint32_t constant = 256;
  uint32_t compressedSize = 1;  // only its being non-zero matters
  uint32_t inflatedSize = 0;
  uint32_t reserved = 0;
};

std::string Container(const Header& h, std::string_view stream) {
  std::string out;
  for (uint32_t field : {h.magic, h.headerSize, h.constant, h.compressedSize, h.inflatedSize, h.reserved}) {
    AppendU32(out, field);
  }
  return out + std::string(stream);
}

const std::string kText = "The quick brown fox jumps over the lazy dog, again and again and again.";

TEST(PackItem, WritesTheHeaderAndAZlibStream) {
  const std::string packed = PackItem(kText);
  ASSERT_GT(packed.size(), 26u);
  EXPECT_EQ(ReadU32At(packed, 0), kContainerMagic);
  EXPECT_EQ(packed.substr(0, 4), std::string("QZH\0", 4));
  EXPECT_EQ(ReadU32At(packed, 4), 24u);
  EXPECT_EQ(ReadU32At(packed, 8), 256u);
  EXPECT_EQ(ReadU32At(packed, 12), packed.size() - 24);
  EXPECT_EQ(ReadU32At(packed, 16), kText.size());
  EXPECT_EQ(ReadU32At(packed, 20), 0u);
  EXPECT_EQ(packed.substr(24, 2), "\x78\x5E");  // a zlib stream of level 2 to 5
  std::string out;
  ASSERT_TRUE(UnpackContainer(packed, out));
  EXPECT_EQ(out, kText);
}

TEST(PackItem, RefusesAnEmptyItem) {
  // An inflated size of 0 would make the reader take the container for plain bytes.
  EXPECT_THROW(PackItem(""), std::invalid_argument);
}

TEST(UnpackContainer, RejectsBadHeadersAndStreams) {
  const std::string stream = Compress(kText);
  const uint32_t size = static_cast<uint32_t>(kText.size());
  Header good;
  good.inflatedSize = size;
  auto with = [&](auto change) {
    Header h = good;
    change(h);
    return Container(h, stream);
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"wrong magic", with([](Header& h) { h.magic = 0x00485A52; })},
      {"header size 23", with([](Header& h) { h.headerSize = 23; })},
      {"header size 28", with([](Header& h) { h.headerSize = 28; })},
      {"compressed size 0", with([](Header& h) { h.compressedSize = 0; })},
      {"inflated size 0", with([](Header& h) { h.inflatedSize = 0; })},
      {"inflates to more than the field", with([&](Header& h) { h.inflatedSize = size - 1; })},
      {"truncated stream", Container(good, stream.substr(0, stream.size() - 5))},
      {"stream without its checksum", Container(good, stream.substr(0, stream.size() - 4))},
      {"not a zlib stream", Container(good, std::string(68, '\x5A'))},
      {"no stream at all", Container(good, "")},
      {"shorter than a header", Container(good, "").substr(0, 20)},
  };
  for (const Case& c : cases) {
    std::string out = "untouched";
    EXPECT_FALSE(UnpackContainer(c.bytes, out)) << c.what;
    EXPECT_EQ(out, "untouched") << c.what;
  }
}

TEST(UnpackContainer, TakesWhatTheStreamProduces) {
  const std::string stream = Compress(kText);
  struct Case {
    const char* what;
    Header header;
    std::string trailer;
  } cases[] = {
      {"exact size", {kContainerMagic, 24, 256, 1, static_cast<uint32_t>(kText.size()), 0}, ""},
      {"field larger than the data", {kContainerMagic, 24, 256, 1, 4096, 0}, ""},
      {"unchecked fields", {kContainerMagic, 24, 7, 99999, 4096, 0xFFFFFFFF}, ""},
      {"bytes after the stream", {kContainerMagic, 24, 256, 1, 4096, 0}, "junk"},
      // Must not reserve 4 GB for a tiny item.
      {"hostile inflated size", {kContainerMagic, 24, 256, 1, 0xFFFFFFFF, 0}, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_TRUE(UnpackContainer(Container(c.header, stream + c.trailer), out)) << c.what;
    EXPECT_EQ(out, kText) << c.what;
  }
}

TEST(UnpackContainer, HandlesTheLargestExpansionDeflateAllows) {
  // A long run of one byte compresses close to deflate's limit of about 1032:1.
  const std::string zeros(4 << 20, '\0');
  const std::string packed = PackItem(zeros);
  EXPECT_LT(packed.size(), zeros.size() / 1000);
  Header header;
  header.inflatedSize = 0xFFFFFFFF;
  std::string out;
  ASSERT_TRUE(UnpackContainer(Container(header, packed.substr(24)), out));
  EXPECT_EQ(out, zeros);
}

TEST(UnpackContainer, MemoryFollowsTheDataNotAForgedInflatedSize) {
  // 5 MB that do not compress, under a header claiming 4 GB: the reader must neither ask
  // for the 4 GB (bad_alloc in the packer, a silent failure in the 32-bit launcher) nor
  // keep them reserved.
  std::string data(5 << 20, '\0');
  uint32_t seed = 12345;
  for (char& c : data) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  const std::string packed = PackItem(data);
  ASSERT_GT(packed.size(), data.size() - data.size() / 100) << "the data should not compress";
  Header forged;
  forged.inflatedSize = 0xFFFFFFFF;
  const std::string container = Container(forged, packed.substr(24));

  std::string out;
  ASSERT_TRUE(UnpackContainer(container, out));
  EXPECT_TRUE(out == data);
  EXPECT_LE(out.capacity(), 2 * data.size()) << "the output grew with the data";

  std::string buffer = container;
  ASSERT_TRUE(InflatePackedItem(buffer));
  EXPECT_TRUE(buffer == data);
  EXPECT_LE(buffer.capacity(), 2 * data.size());
}

TEST(UnpackContainer, AStreamLongerThanTheHeaderSaysFailsAtTheLimit) {
  // The output stops growing at the header's size; more data fails the container.
  const std::string zeros(1 << 20, '\0');
  const std::string packed = PackItem(zeros);
  for (uint32_t claimed : {1u, 65535u, 65536u, 65537u, (1u << 20) - 1}) {
    Header header;
    header.inflatedSize = claimed;
    std::string out = "untouched";
    EXPECT_FALSE(UnpackContainer(Container(header, packed.substr(24)), out)) << claimed;
    EXPECT_EQ(out, "untouched") << claimed;
  }
  Header exact;
  exact.inflatedSize = 1u << 20;
  std::string out;
  ASSERT_TRUE(UnpackContainer(Container(exact, packed.substr(24)), out));
  EXPECT_TRUE(out == zeros);
}

TEST(InflatePackedItem, ReplacesOnlyContainersThatUnpack) {
  const std::string packed = PackItem(kText);
  Header badSize;
  badSize.headerSize = 25;
  badSize.inflatedSize = 100;
  struct Case {
    const char* what;
    std::string buffer;
    bool result;
    std::string after;
  } cases[] = {
      {"empty", "", false, ""},
      {"one-byte plain item", "1", true, "1"},
      {"plain bytes", "plain text", true, "plain text"},
      {"container", packed, true, kText},
      {"header size not 24", Container(badSize, packed.substr(24)),
       true, Container(badSize, packed.substr(24))},
      {"damaged container", packed.substr(0, 30), true, packed.substr(0, 30)},
  };
  for (Case& c : cases) {
    EXPECT_EQ(InflatePackedItem(c.buffer), c.result) << c.what;
    EXPECT_EQ(c.buffer, c.after) << c.what;
  }
}

TEST(PackedItemMarkers, NeedFourMatchingBytes) {
  EXPECT_TRUE(HasContainerMagic(std::string("QZH\0rest", 8)));
  EXPECT_FALSE(HasContainerMagic("QZH"));
  EXPECT_FALSE(HasContainerMagic("QZHX"));
  EXPECT_TRUE(HasWorkbookMarker("\x92\x10\x75\x30workbook"));
  EXPECT_FALSE(HasWorkbookMarker("\x92\x10\x75"));
  EXPECT_FALSE(HasWorkbookMarker("\x30\x75\x10\x92"));
}

// The packer feeds a large workbook in pieces as it reads it: any split gives the same
// container as the whole, and a size that does not match what was announced is an error.
TEST(ItemPacker, PiecesGiveTheContainerOfTheWhole) {
  std::string item;
  for (uint32_t i = 0; i < 300000; ++i) item += static_cast<char>(i * 7919 % 251);
  const std::string whole = PackItem(item);
  for (const size_t piece : {size_t{1}, size_t{4095}, size_t{65536}, item.size()}) {
    SCOPED_TRACE(piece);
    ItemPacker packer(item.size());
    for (size_t at = 0; at < item.size(); at += piece) packer.Add(std::string_view(item).substr(at, piece));
    EXPECT_EQ(packer.Finish(), whole);
  }
  std::string out;
  ASSERT_TRUE(UnpackContainer(whole, out));
  EXPECT_EQ(out, item);

  ItemPacker shorter(10);
  shorter.Add("123456789");
  EXPECT_THROW(shorter.Finish(), std::runtime_error);
  ItemPacker longer(3);
  EXPECT_THROW(longer.Add("1234"), std::runtime_error);
  // The 32-bit inflated size: refused before anything is allocated or read.
  EXPECT_THROW(ItemPacker(kMaxPackedItemSize + 1), std::invalid_argument);
  EXPECT_THROW(ItemPacker(0), std::invalid_argument);
}

}  // namespace
