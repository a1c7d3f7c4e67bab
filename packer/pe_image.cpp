#include "packer/pe_image.h"

#include <algorithm>
#include <cstdio>

#include "core/encoding/byte_io.h"

namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kMaxSections = 96;
constexpr size_t kMaxDirectories = 16;
constexpr uint32_t kMaxAlignment = 0x10000000;
// The PE format's upper bound for FileAlignment. The writer pads the resource section to
// it, so a larger value would turn a stub of a few kilobytes into hundreds of megabytes.
constexpr uint32_t kMaxFileAlignment = 0x10000;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

bool IsPowerOfTwo(uint32_t value) { return value && !(value & (value - 1)); }

}  // namespace

PeImage::PeImage(std::string bytes) : bytes_(std::move(bytes)) {
  ParseHeaders();
  ParseSections();
}

void PeImage::ParseHeaders() {
  const std::string_view file = bytes_;
  if (file.size() < 64 || file.substr(0, 2) != "MZ") throw PeFormatError("not a PE file (no MZ header)");
  const uint32_t peOffset = ReadU32At(file, 0x3C);
  if (uint64_t{peOffset} + 4 + 20 > file.size()) throw PeFormatError("truncated PE header");
  if (file.substr(peOffset, 4) != std::string_view("PE\0\0", 4)) {
    throw PeFormatError("not a PE file (no PE signature)");
  }
  coffOffset_ = peOffset + 4;
  machine_ = ReadU16At(file, coffOffset_);
  const uint16_t optionalSize = ReadU16At(file, coffOffset_ + 16);
  optionalOffset_ = coffOffset_ + 20;
  if (optionalOffset_ + optionalSize > file.size()) throw PeFormatError("truncated optional header");

  const uint16_t magic = optionalSize >= 2 ? ReadU16At(file, optionalOffset_) : 0;
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    throw PeFormatError("unknown optional header magic " + Hex(magic));
  }
  pe32Plus_ = magic == kMagicPe32Plus;
  const size_t countField = pe32Plus_ ? 108 : 92;
  directoriesOffset_ = optionalOffset_ + (pe32Plus_ ? 112 : 96);
  if (countField + 4 > optionalSize) throw PeFormatError("optional header too small");

  const uint32_t declaredDirectories = ReadU32At(file, optionalOffset_ + countField);
  directoryCount_ = declaredDirectories < kMaxDirectories ? declaredDirectories : kMaxDirectories;
  if (directoriesOffset_ + 8 * directoryCount_ > optionalOffset_ + optionalSize) {
    throw PeFormatError("data directories run past the optional header");
  }

  sectionAlignment_ = ReadU32At(file, optionalOffset_ + 32);
  fileAlignment_ = ReadU32At(file, optionalOffset_ + 36);
  if (!IsPowerOfTwo(fileAlignment_) || !IsPowerOfTwo(sectionAlignment_) ||
      sectionAlignment_ < fileAlignment_ || sectionAlignment_ > kMaxAlignment || fileAlignment_ > kMaxFileAlignment) {
    throw PeFormatError("invalid alignment (section " + Hex(sectionAlignment_) + ", file " +
                        Hex(fileAlignment_) + ")");
  }
  sizeOfHeaders_ = ReadU32At(file, optionalOffset_ + 60);
  if (sizeOfHeaders_ > file.size()) throw PeFormatError("truncated: headers end past the end of the file");
  sectionTableOffset_ = optionalOffset_ + optionalSize;
}

void PeImage::ParseSections() {
  const std::string_view file = bytes_;
  const size_t count = ReadU16At(file, coffOffset_ + 2);
  if (count > kMaxSections) throw PeFormatError("too many sections (" + std::to_string(count) + ")");
  if (sectionTableOffset_ + count * kSectionHeaderSize > file.size()) {
    throw PeFormatError("truncated section table");
  }
  // Raw data inside the headers would be cut off or overwritten by a writer that puts
  // new section data at the section's file offset.
  const uint64_t headersEnd = std::max<uint64_t>(sizeOfHeaders_, sectionTableOffset_ + count * kSectionHeaderSize);
  uint64_t previousEnd = 0;
  for (size_t i = 0; i < count; ++i) {
    ByteReader reader(file, sectionTableOffset_ + i * kSectionHeaderSize);
    PeSection section;
    std::string_view name = reader.Take(8);
    section.name = std::string(name.substr(0, name.find('\0')));
    section.virtualSize = reader.U32();
    section.virtualAddress = reader.U32();
    section.rawSize = reader.U32();
    section.rawOffset = reader.U32();
    reader.Skip(12);
    section.characteristics = reader.U32();

    if (section.rawSize && uint64_t{section.rawOffset} + section.rawSize > file.size()) {
      throw PeFormatError("truncated: section " + section.name + " ends past the end of the file");
    }
    if (section.rawSize && section.rawOffset < headersEnd) {
      throw PeFormatError("section " + section.name + " has its data inside the headers");
    }
    const uint64_t end = uint64_t{section.virtualAddress} + section.VirtualSpan();
    if (section.virtualAddress < previousEnd || end > 0xFFFFFFFFull) {
      throw PeFormatError("sections overlap or are out of order at " + section.name);
    }
    previousEnd = end;
    sections_.push_back(section);
  }
}

PeDataDirectory PeImage::Directory(size_t index) const {
  if (index >= directoryCount_) return {};
  return {ReadU32At(bytes_, DirectoryOffset(index)), ReadU32At(bytes_, DirectoryOffset(index) + 4)};
}

size_t PeImage::DirectoryOffset(size_t index) const { return directoriesOffset_ + 8 * index; }

std::optional<size_t> PeImage::SectionIndexForRva(uint32_t rva) const {
  for (size_t i = 0; i < sections_.size(); ++i) {
    if (sections_[i].ContainsRva(rva)) return i;
  }
  return std::nullopt;
}

std::string_view PeImage::RawFrom(uint32_t rva) const {
  std::optional<size_t> index = SectionIndexForRva(rva);
  if (!index) return {};
  const PeSection& section = sections_[*index];
  const uint32_t mapped = section.rawSize < section.VirtualSpan() ? section.rawSize : section.VirtualSpan();
  const uint32_t skip = rva - section.virtualAddress;
  if (skip >= mapped) return {};
  return std::string_view(bytes_).substr(section.rawOffset + skip, mapped - skip);
}

std::optional<std::string_view> PeImage::ReadRva(uint32_t rva, uint32_t size) const {
  std::string_view raw = RawFrom(rva);
  if (raw.size() < size) return std::nullopt;
  return raw.substr(0, size);
}

size_t PeImage::EndOfSectionData() const {
  size_t end = sizeOfHeaders_;
  for (const PeSection& section : sections_) {
    if (section.rawSize && section.rawOffset + size_t{section.rawSize} > end) {
      end = section.rawOffset + size_t{section.rawSize};
    }
  }
  return end;
}
