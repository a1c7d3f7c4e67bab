#include "core/payload/encrypted_workbook.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "core/encoding/byte_io.h"

namespace {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint32_t kLastSectorNumber = 0xFFFFFFFA;  // above it: end of chain, free and the like
constexpr size_t kHeaderFatSectors = 109;           // allocation-table sectors the header lists
constexpr size_t kEntrySize = 128;
constexpr uint8_t kStreamEntry = 2;
// "EncryptionInfo" in UTF-16LE with its terminating zero (the literal's own last byte
// completes it), as a directory entry names it.
constexpr char kEncryptionInfoName[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0\0";
constexpr size_t kEncryptionInfoNameSize = sizeof kEncryptionInfoName;

class CompoundFile {
 public:
  CompoundFile(std::string_view file, size_t sectorSize) : file_(file), sectorSize_(sectorSize) {}

  std::optional<std::string_view> Sector(uint32_t number) const {
    const size_t offset = (size_t{number} + 1) * sectorSize_;
    if (number > kLastSectorNumber || offset + sectorSize_ > file_.size()) return std::nullopt;
    return file_.substr(offset, sectorSize_);
  }

  // The sector after `number` in its chain, from the allocation table.
  std::optional<uint32_t> Next(uint32_t number) const {
    const size_t perSector = sectorSize_ / 4;
    const std::optional<uint32_t> table = TableSector(number / perSector);
    if (!table) return std::nullopt;
    const std::optional<std::string_view> sector = Sector(*table);
    if (!sector) return std::nullopt;
    return ReadU32At(*sector, 4 * (number % perSector));
  }

  // Enough steps for any chain the file can hold: a longer one loops.
  size_t MaxChain() const { return file_.size() / sectorSize_ + 1; }

 private:
  // The allocation table's `index`-th sector: the header lists the first 109, a chain of
  // further sectors the rest, each ending with the number of the next.
  std::optional<uint32_t> TableSector(size_t index) const {
    if (index < kHeaderFatSectors) return ReadU32At(file_, 76 + 4 * index);
    index -= kHeaderFatSectors;
    const size_t perSector = sectorSize_ / 4 - 1;
    uint32_t list = ReadU32At(file_, 68);
    for (size_t steps = 0; steps < MaxChain(); ++steps) {
      const std::optional<std::string_view> sector = Sector(list);
      if (!sector) return std::nullopt;
      if (index < perSector) return ReadU32At(*sector, 4 * index);
      index -= perSector;
      list = ReadU32At(*sector, 4 * perSector);
    }
    return std::nullopt;
  }

  std::string_view file_;
  size_t sectorSize_;
};

bool NamesEncryptionInfo(std::string_view entry) {
  return static_cast<uint8_t>(entry[66]) == kStreamEntry && ReadU16At(entry, 64) == kEncryptionInfoNameSize &&
         std::memcmp(entry.data(), kEncryptionInfoName, kEncryptionInfoNameSize) == 0;
}

}  // namespace

bool IsPasswordEncryptedWorkbook(std::string_view file) {
  if (file.size() < 512 || file.substr(0, 8) != std::string_view(kSignature, 8)) return false;
  const uint16_t shift = ReadU16At(file, 30);
  if (shift != 9 && shift != 12) return false;
  const CompoundFile compound(file, size_t{1} << shift);
  std::optional<uint32_t> directory = ReadU32At(file, 48);
  for (size_t steps = 0; directory && *directory <= kLastSectorNumber && steps < compound.MaxChain(); ++steps) {
    const std::optional<std::string_view> sector = compound.Sector(*directory);
    if (!sector) return false;
    for (size_t offset = 0; offset + kEntrySize <= sector->size(); offset += kEntrySize) {
      if (NamesEncryptionInfo(sector->substr(offset, kEntrySize))) return true;
    }
    directory = compound.Next(*directory);
  }
  return false;
}
