#pragma once
// The fixed numbers of compound files, shared by the writer and the reader.
#include <cstdint>

namespace cfb {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;  // smaller streams live in the mini stream
constexpr uint32_t kEntrySize = 128;
constexpr uint32_t kHeaderFatSlots = 109;  // FAT sector numbers the header itself holds

// Special sector numbers and the "no entry" directory id.
constexpr uint32_t kDifatSector = 0xFFFFFFFC;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;

// Directory entry types and colours.
constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint8_t kRed = 0;
constexpr uint8_t kBlack = 1;

// Header field offsets.
constexpr uint32_t kHeaderFatSectorCount = 0x2C;
constexpr uint32_t kHeaderFirstDirectorySector = 0x30;
constexpr uint32_t kHeaderFirstMiniFatSector = 0x3C;
constexpr uint32_t kHeaderFirstDifatSector = 0x44;
constexpr uint32_t kHeaderDifatSectorCount = 0x48;
constexpr uint32_t kHeaderDifat = 0x4C;

// Directory entry field offsets.
constexpr uint32_t kEntryNameLength = 0x40;
constexpr uint32_t kEntryType = 0x42;
constexpr uint32_t kEntryColor = 0x43;
constexpr uint32_t kEntryLeft = 0x44;
constexpr uint32_t kEntryRight = 0x48;
constexpr uint32_t kEntryChild = 0x4C;
constexpr uint32_t kEntryClsid = 0x50;
constexpr uint32_t kClsidSize = 16;
constexpr uint32_t kEntryStart = 0x74;
constexpr uint32_t kEntrySizeField = 0x78;

}  // namespace cfb
