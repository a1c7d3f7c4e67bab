#include "core/payload/packed_item.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include <zlib.h>

#include "core/encoding/byte_io.h"

namespace {

constexpr uint32_t kContainerConstant = 0x100;

// zlib's level 4, the fastest of its lazy-matching levels: on workbooks, which are zip
// packages of pictures and compressed parts already, it deflates faster than gzip -6 for
// under 1 % more bytes (docs/performance.md). The launcher inflates any level.
constexpr int kPackLevel = 4;

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
  ItemPacker packer(bytes.size());
  packer.Add(bytes);
  return packer.Finish();
}

struct ItemPacker::Stream {
  z_stream z = {};
  bool started = false;
  std::string chunk = std::string(256 * 1024, '\0');  // on the heap: the runtime packs on the host's threads
};

ItemPacker::ItemPacker(uint64_t size) : stream_(std::make_unique<Stream>()), size_(size) {
  // An inflated size of 0 marks a container as invalid, so an empty item cannot be
  // packed; sizes must also fit the 32-bit header fields.
  if (size == 0) throw std::invalid_argument("an empty item cannot be packed");
  if (size > kMaxPackedItemSize) throw std::invalid_argument("item too large to pack");
  if (deflateInit(&stream_->z, kPackLevel) != Z_OK) throw std::runtime_error("zlib could not start");
  stream_->started = true;
  // deflate's own bound, in 64 bits: address space is reserved, and only what the stream
  // fills is ever touched.
  const uint64_t bound = kContainerHeaderSize + size + (size >> 12) + (size >> 14) + (size >> 25) + 64;
  if (bound <= packed_.max_size()) {
    try {
      packed_.reserve(static_cast<size_t>(bound));
    } catch (const std::bad_alloc&) {
      // No room to reserve at once: the container grows as it fills instead.
    }
  }
  packed_.resize(kContainerHeaderSize, '\0');
}

ItemPacker::~ItemPacker() {
  if (stream_->started) deflateEnd(&stream_->z);
}

void ItemPacker::Deflate(int flush) {
  std::string& chunk = stream_->chunk;
  z_stream& z = stream_->z;
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(chunk.data());
    z.avail_out = static_cast<uInt>(chunk.size());
    const int status = deflate(&z, flush);
    if (status == Z_STREAM_ERROR) throw std::runtime_error("zlib could not compress the item");
    packed_.append(chunk.data(), chunk.size() - z.avail_out);
    if (flush == Z_FINISH ? status == Z_STREAM_END : z.avail_out != 0) return;
  }
}

void ItemPacker::Add(std::string_view piece) {
  added_ += piece.size();
  if (added_ > size_) throw std::runtime_error("the item is larger than announced");
  z_stream& z = stream_->z;
  while (!piece.empty()) {
    const size_t take = std::min<size_t>(piece.size(), std::numeric_limits<uInt>::max());
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(take);
    Deflate(Z_NO_FLUSH);
    piece.remove_prefix(take);
  }
}

std::string ItemPacker::Finish() {
  if (added_ != size_) throw std::runtime_error("the item is smaller than announced");
  stream_->z.avail_in = 0;
  Deflate(Z_FINISH);
  const uint64_t compressedSize = packed_.size() - kContainerHeaderSize;
  if (compressedSize > kMaxPackedItemSize) throw std::invalid_argument("item too large to pack");
  StoreU32At(packed_, 0, kContainerMagic);
  StoreU32At(packed_, 4, kContainerHeaderSize);
  StoreU32At(packed_, 8, kContainerConstant);
  StoreU32At(packed_, 12, static_cast<uint32_t>(compressedSize));
  StoreU32At(packed_, 16, static_cast<uint32_t>(size_));
  StoreU32At(packed_, 20, 0);
  return std::move(packed_);
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
