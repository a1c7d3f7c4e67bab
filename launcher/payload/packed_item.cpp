#include "launcher/payload/packed_item.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include <zlib.h>

#include "launcher/payload/byte_io.h"

namespace {

constexpr uint32_t kContainerConstant = 0x100;

// Deflate cannot expand data by more than this: a 258-byte match costs at least two
// bits. The inflated-size field only sizes the output buffer, so a damaged or hostile
// field (0xFFFFFFFF on a tiny item) must not make us allocate gigabytes for nothing.
constexpr uint64_t kMaxInflateRatio = 1032;

}  // namespace

bool HasContainerMagic(std::string_view bytes) {
  return bytes.size() >= 4 && ReadU32At(bytes, 0) == kContainerMagic;
}

bool UnpackContainer(std::string_view bytes, std::string& out) {
  if (bytes.size() < kContainerHeaderSize) return false;
  ByteReader header(bytes);
  const uint32_t magic = header.U32();
  const uint32_t headerSize = header.U32();
  header.Skip(4);  // constant, written as 256 and never checked
  const uint32_t compressedSize = header.U32();
  const uint32_t inflatedSize = header.U32();
  if (magic != kContainerMagic || headerSize != kContainerHeaderSize || compressedSize == 0 ||
      inflatedSize == 0) {
    return false;
  }

  // The stream runs to the end of the item; the compressed-size field is not trusted.
  const std::string_view stream = bytes.substr(kContainerHeaderSize);
  if (stream.size() > std::numeric_limits<uLong>::max()) return false;
  const uint64_t capacity = std::min<uint64_t>(inflatedSize, stream.size() * kMaxInflateRatio);

  std::string inflated(static_cast<size_t>(capacity), '\0');
  uLongf produced = static_cast<uLongf>(capacity);
  const int status = uncompress(reinterpret_cast<Bytef*>(inflated.data()), &produced,
                                reinterpret_cast<const Bytef*>(stream.data()),
                                static_cast<uLong>(stream.size()));
  if (status != Z_OK) return false;
  inflated.resize(produced);
  out = std::move(inflated);
  return true;
}

bool InflatePackedItem(std::string& buffer) {
  if (buffer.empty()) return false;
  std::string inflated;
  if (UnpackContainer(buffer, inflated)) buffer = std::move(inflated);
  return !buffer.empty();
}

std::string PackItem(std::string_view bytes) {
  // An inflated size of 0 marks a container as invalid, so an empty item cannot be
  // packed; sizes must also fit the 32-bit header fields.
  if (bytes.empty()) throw std::invalid_argument("an empty item cannot be packed");
  if (bytes.size() > std::numeric_limits<uint32_t>::max() ||
      bytes.size() > std::numeric_limits<uLong>::max()) {
    throw std::invalid_argument("item too large to pack");
  }

  uLongf compressedSize = compressBound(static_cast<uLong>(bytes.size()));
  std::string packed(kContainerHeaderSize + compressedSize, '\0');
  const int status =
      compress2(reinterpret_cast<Bytef*>(packed.data() + kContainerHeaderSize), &compressedSize,
                reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                Z_DEFAULT_COMPRESSION);
  if (status != Z_OK) throw std::runtime_error("zlib could not compress the item");
  packed.resize(kContainerHeaderSize + compressedSize);

  StoreU32At(packed, 0, kContainerMagic);
  StoreU32At(packed, 4, kContainerHeaderSize);
  StoreU32At(packed, 8, kContainerConstant);
  StoreU32At(packed, 12, static_cast<uint32_t>(compressedSize));
  StoreU32At(packed, 16, static_cast<uint32_t>(bytes.size()));
  StoreU32At(packed, 20, 0);
  return packed;
}

bool HasWorkbookMarker(std::string_view bytes) {
  return bytes.size() >= 4 && ReadU32At(bytes, 0) == kWorkbookMarker;
}

std::string MarkWorkbook(std::string_view workbook) {
  std::string marked;
  marked.reserve(4 + workbook.size());
  AppendU32(marked, kWorkbookMarker);
  marked += workbook;
  return marked;
}
