#pragma once
// A PE file (PE32 or PE32+) as the packer sees it: headers, section table and data
// directories, read from bytes that are not trusted. Every offset and size is checked
// against the file before it is used; a malformed file is rejected with PeFormatError.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class PeFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr size_t kDirectoryResource = 2;
constexpr size_t kDirectorySecurity = 4;  // holds a file offset, not an RVA
constexpr size_t kDirectoryBaseReloc = 5;

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

constexpr size_t kSectionHeaderSize = 40;

struct PeSection {
  std::string name;
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;

  // The loader maps max(VirtualSize, ...) bytes; a VirtualSize of 0 means the raw size.
  uint32_t VirtualSpan() const { return virtualSize ? virtualSize : rawSize; }
  bool ContainsRva(uint32_t rva) const {
    return rva >= virtualAddress && rva - virtualAddress < VirtualSpan();
  }
};

struct PeDataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

class PeImage {
 public:
  // Checks the headers and the section table; throws PeFormatError.
  explicit PeImage(std::string bytes);

  const std::string& Bytes() const { return bytes_; }
  bool IsPe32Plus() const { return pe32Plus_; }
  uint16_t Machine() const { return machine_; }
  uint32_t SectionAlignment() const { return sectionAlignment_; }
  uint32_t FileAlignment() const { return fileAlignment_; }
  uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
  const std::vector<PeSection>& Sections() const { return sections_; }

  size_t DirectoryCount() const { return directoryCount_; }
  // {0, 0} for an index the file has no entry for.
  PeDataDirectory Directory(size_t index) const;

  // File offsets of the header fields a writer patches.
  size_t CoffHeaderOffset() const { return coffOffset_; }
  size_t OptionalHeaderOffset() const { return optionalOffset_; }
  size_t SectionTableOffset() const { return sectionTableOffset_; }
  size_t DirectoryOffset(size_t index) const;
  size_t ChecksumOffset() const { return optionalOffset_ + 64; }

  std::optional<size_t> SectionIndexForRva(uint32_t rva) const;
  // The `size` bytes at `rva`, when they lie inside the mapped raw data of one section.
  std::optional<std::string_view> ReadRva(uint32_t rva, uint32_t size) const;
  // The mapped raw bytes of the section holding `rva`, from `rva` to their end.
  std::string_view RawFrom(uint32_t rva) const;
  // File offset just past the last section's raw data; what follows is the overlay.
  size_t EndOfSectionData() const;

 private:
  void ParseHeaders();
  void ParseSections();

  std::string bytes_;
  bool pe32Plus_ = false;
  uint16_t machine_ = 0;
  uint32_t sectionAlignment_ = 0;
  uint32_t fileAlignment_ = 0;
  uint32_t sizeOfHeaders_ = 0;
  size_t coffOffset_ = 0;
  size_t optionalOffset_ = 0;
  size_t directoriesOffset_ = 0;
  size_t directoryCount_ = 0;
  size_t sectionTableOffset_ = 0;
  std::vector<PeSection> sections_;
};

// Rounds up to a multiple of `alignment` (a power of two).
inline uint64_t AlignUp(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~static_cast<uint64_t>(alignment - 1);
}
