#include "core/payload/packed_item.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include <zlib.h>

#include "core/encoding/byte_io.h"

namespace {

constexpr uint32_t kContainerConstant = 0x100;

// The output grows while the stream inflates, from this size (or the header's, when
// smaller) by doubling, and never beyond the header's inflated size: memory follows
// the data the stream really holds, whatever the header claims (a forged 0xFFFFFFFF on
// a 5 MB stream must not reserve 4 GB).
constexpr size_t kFirstOutputSize = 64 * 1024;

// zlib's stream in a scope: inflateEnd runs on every way out.
class Inflater {
 public:
  Inflater() = default;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (started_) inflateEnd(&stream_);
  }
  bool Start() {
    started_ = inflateInit(&stream_) == Z_OK;
    return started_;
  }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_ = {};
  bool started_ = false;
};

// Inflates the whole zlib stream at the start of `input` into `out`, which grows as
// needed up to `limit` bytes. False when the stream is damaged or cut short, or would
// inflate to more than `limit`. Bytes after the stream's end are ignored.
bool InflateStream(std::string_view input, uint32_t limit, std::string& out) {
  Inflater inflater;
  if (!inflater.Start()) return false;
  z_stream& stream = inflater.stream();
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());

  std::string inflated;
  size_t produced = 0;
  for (;;) {
    if (produced == inflated.size()) {
      // Full: grow, unless the limit is reached. A stream with more to give then fails
      // below, for inflate cannot make progress without room.
      const size_t size = inflated.size();
      const size_t grown = size < kFirstOutputSize ? kFirstOutputSize : size > limit / 2 ? limit : size * 2;
      if (std::min<size_t>(grown, limit) > size) inflated.resize(std::min<size_t>(grown, limit));
    }
    const size_t room = std::min<size_t>(inflated.size() - produced, std::numeric_limits<uInt>::max());
    stream.next_out = reinterpret_cast<Bytef*>(inflated.data() + produced);
    stream.avail_out = static_cast<uInt>(room);
    const int status = inflate(&stream, Z_NO_FLUSH);
    produced += room - stream.avail_out;
    if (status == Z_STREAM_END) break;
    // Z_BUF_ERROR: no progress was possible, with the input used up (cut short) or the
    // output at its limit (the stream holds more than the header says).
    if (status != Z_OK) return false;
  }
  inflated.resize(produced);
  out = std::move(inflated);
  return true;
}

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
  if (stream.size() > std::numeric_limits<uInt>::max()) return false;
  return InflateStream(stream, inflatedSize, out);
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
