#pragma once
// Packed items: either a container (24-byte header with the magic "QZH\0", then a
// zlib stream) or plain bytes. The reader and the packer's writer live together.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

constexpr uint32_t kContainerMagic = 0x00485A51;   // "QZH\0"
constexpr uint32_t kContainerHeaderSize = 24;
constexpr uint32_t kWorkbookMarker = 0x30751092;    // starts every workbook item

// True when the bytes begin with the container magic (the header may still be bad).
bool HasContainerMagic(std::string_view bytes);

// Unpacks a container, the output growing with the inflated data up to the header's
// inflated size (never allocated up front from the header's claim). False (and `out`
// untouched) when the header is not a valid container header, the stream is damaged or
// cut short, or it inflates to more than the header says.
bool UnpackContainer(std::string_view bytes, std::string& out);

// Replaces the buffer by its unpacked bytes when it holds a container that unpacks;
// otherwise leaves it unchanged. True when the buffer is non-empty afterwards.
bool InflatePackedItem(std::string& buffer);

// Writes a container of `bytes`, compressed with zlib.
std::string PackItem(std::string_view bytes);

// The largest item a container holds: its sizes are 32-bit fields.
constexpr uint64_t kMaxPackedItemSize = 0xFFFFFFFF;

// Writes a container from an item given in pieces, so a large item is compressed as it
// is read and never held whole beside its container. The size is known up front, for the
// header and to reserve the container once.
class ItemPacker {
 public:
  // Throws std::invalid_argument for an empty item or one larger than a container holds.
  explicit ItemPacker(uint64_t size);
  ItemPacker(const ItemPacker&) = delete;
  ItemPacker& operator=(const ItemPacker&) = delete;
  ~ItemPacker();

  void Add(std::string_view piece);
  // The container so far: the header and the compressed bytes written yet.
  uint64_t PackedSize() const { return packed_.size(); }
  // Throws std::runtime_error when the pieces did not add up to the size given.
  std::string Finish();

 private:
  void Deflate(int flush);

  struct Stream;
  std::unique_ptr<Stream> stream_;
  uint64_t size_;
  uint64_t added_ = 0;
  std::string packed_;
};

// True when the bytes start with the workbook marker.
bool HasWorkbookMarker(std::string_view bytes);

// The workbook item's content: the marker, then the workbook's bytes.
std::string MarkWorkbook(std::string_view workbook);
