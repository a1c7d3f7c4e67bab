#pragma once
// Packed items: either a container (24-byte header with the magic "QZH\0", then a
// zlib stream) or plain bytes. The reader and the packer's writer live together.
#include <cstdint>
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

// Writes a container of `bytes`, compressed at zlib's default level.
std::string PackItem(std::string_view bytes);

// True when the bytes start with the workbook marker.
bool HasWorkbookMarker(std::string_view bytes);

// The workbook item's content: the marker, then the workbook's bytes.
std::string MarkWorkbook(std::string_view workbook);
