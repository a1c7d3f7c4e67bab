#include "packer/pe_resource_update.h"

#include <optional>

#include "core/encoding/byte_io.h"
#include "packer/pe_checksum.h"
#include "packer/resource_section.h"

namespace {

constexpr uint32_t kInitializedDataReadable = 0x40000040;  // CNT_INITIALIZED_DATA | MEM_READ

// Where the new resource section goes, decided from the image's layout.
struct Plan {
  ResourcePlacement placement = ResourcePlacement::kNewSection;
  size_t resourceIndex = 0;  // for the in-place placements
  size_t relocIndex = 0;     // for kInPlaceMovingReloc
};

bool DirectoryPointsInto(const PeImage& image, const PeSection& section, size_t except) {
  for (size_t i = 0; i < image.DirectoryCount(); ++i) {
    if (i == except || i == kDirectorySecurity) continue;
    PeDataDirectory entry = image.Directory(i);
    if (entry.size && section.ContainsRva(entry.rva)) return true;
  }
  return false;
}

// True when no other section's raw data lies at or after `offset`, apart from `allowed`.
bool RawDataBefore(const PeImage& image, uint64_t offset, size_t self, std::optional<size_t> allowed) {
  const auto& sections = image.Sections();
  for (size_t i = 0; i < sections.size(); ++i) {
    if (i == self || (allowed && i == *allowed) || sections[i].rawSize == 0) continue;
    if (uint64_t{sections[i].rawOffset} + sections[i].rawSize > offset) return false;
  }
  return true;
}

Plan ChoosePlan(const PeImage& image) {
  const auto& sections = image.Sections();
  PeDataDirectory resources = image.Directory(kDirectoryResource);
  std::optional<size_t> resource = resources.size ? image.SectionIndexForRva(resources.rva) : std::nullopt;
  if (!resource || sections[*resource].rawSize == 0) return {};
  const PeSection& section = sections[*resource];
  if (DirectoryPointsInto(image, section, kDirectoryResource)) return {};

  const size_t following = sections.size() - *resource - 1;
  if (following == 0 && RawDataBefore(image, section.rawOffset, *resource, std::nullopt)) {
    return {ResourcePlacement::kInPlace, *resource, 0};
  }
  PeDataDirectory relocs = image.Directory(kDirectoryBaseReloc);
  std::optional<size_t> reloc = relocs.size ? image.SectionIndexForRva(relocs.rva) : std::nullopt;
  if (following == 1 && reloc == *resource + 1 &&
      RawDataBefore(image, section.rawOffset, *resource, reloc) &&
      (sections[*reloc].rawSize == 0 || sections[*reloc].rawOffset >= uint64_t{section.rawOffset} + section.rawSize)) {
    return {ResourcePlacement::kInPlaceMovingReloc, *resource, *reloc};
  }
  return {};
}

void Pad(std::string& out, uint64_t size) { out.resize(size, '\0'); }

void StoreSectionField(std::string& out, const PeImage& image, size_t index, size_t field, uint32_t value) {
  StoreU32At(out, image.SectionTableOffset() + index * kSectionHeaderSize + field, value);
}

uint32_t Checked32(uint64_t value) {
  if (value > 0xFFFFFFFFull) throw PeFormatError("the packed image would exceed 4 GB");
  return static_cast<uint32_t>(value);
}

class ImageWriter {
 public:
  ImageWriter(const PeImage& image, bool stripSignature) : image_(image) {
    overlayStart_ = image.EndOfSectionData();
    overlay_ = image.Bytes().substr(overlayStart_);
    PeDataDirectory certificate = image.Directory(kDirectorySecurity);
    if (certificate.size == 0) return;
    if (!stripSignature) {
      throw PeFormatError("is signed, and packing would break the signature: "
                          "pass --strip-signature and sign the packed file afterwards");
    }
    // The certificate table is addressed by file offset and normally ends the file.
    if (certificate.rva >= overlayStart_ && uint64_t{certificate.rva} + certificate.size <= image.Bytes().size()) {
      overlay_.erase(certificate.rva - overlayStart_, certificate.size);
    }
    stripCertificate_ = true;
  }

  UpdatedImage Write(const ResourceTree& tree) {
    overlaySize_ = overlay_.size();
    Plan plan = ChoosePlan(image_);
    if (plan.placement == ResourcePlacement::kNewSection) {
      AppendSection(tree);
    } else {
      RewriteInPlace(tree, plan);
    }
    return {FinishHeaders(), plan.placement};
  }

 private:
  void RewriteInPlace(const ResourceTree& tree, const Plan& plan) {
    const PeSection& resource = image_.Sections()[plan.resourceIndex];
    ByteRuns data = WriteResourceSectionRuns(tree, resource.virtualAddress);
    const uint32_t dataSize = Checked32(data.Size());
    const uint32_t rawSize = Checked32(AlignUp(dataSize, image_.FileAlignment()));
    out_ = image_.Bytes().substr(0, resource.rawOffset);
    tail_.Append(std::move(data));
    tail_.AppendZeros(rawSize - dataSize);
    StoreSectionField(out_, image_, plan.resourceIndex, 8, dataSize);
    StoreSectionField(out_, image_, plan.resourceIndex, 16, rawSize);
    SetDirectory(kDirectoryResource, resource.virtualAddress, dataSize);
    initializedDataDelta_ = int64_t{rawSize} - resource.rawSize;
    lastSectionEnd_ = uint64_t{resource.virtualAddress} + dataSize;

    if (plan.placement == ResourcePlacement::kInPlaceMovingReloc) MoveReloc(plan.relocIndex);
    tail_.Append(std::move(overlay_));
  }

  uint64_t Size() const { return out_.size() + tail_.Size(); }

  // The relocation data holds RVAs of the code it fixes, never of itself, so it moves
  // as it is; only its section header and the directories inside it change.
  void MoveReloc(size_t index) {
    const PeSection& reloc = image_.Sections()[index];
    const uint32_t newAddress = Checked32(AlignUp(lastSectionEnd_, image_.SectionAlignment()));
    const uint32_t newOffset = Checked32(Size());
    if (reloc.rawSize) {
      tail_.Append(image_.Bytes().substr(reloc.rawOffset, reloc.rawSize));
      tail_.AppendZeros(AlignUp(Size(), image_.FileAlignment()) - Size());
    }
    StoreSectionField(out_, image_, index, 12, newAddress);
    StoreSectionField(out_, image_, index, 20, reloc.rawSize ? newOffset : 0);
    for (size_t i = 0; i < image_.DirectoryCount(); ++i) {
      PeDataDirectory entry = image_.Directory(i);
      if (i == kDirectorySecurity || i == kDirectoryResource || !entry.size || !reloc.ContainsRva(entry.rva)) continue;
      SetDirectory(i, entry.rva - reloc.virtualAddress + newAddress, entry.size);
    }
    lastSectionEnd_ = uint64_t{newAddress} + reloc.VirtualSpan();
  }

  void AppendSection(const ResourceTree& tree) {
    const auto& sections = image_.Sections();
    const size_t headerOffset = image_.SectionTableOffset() + sections.size() * kSectionHeaderSize;
    if (!HeaderSlotFree(headerOffset)) {
      throw PeFormatError("has no room in its headers for another section");
    }
    uint64_t end = 0;
    for (const PeSection& section : sections) end = uint64_t{section.virtualAddress} + section.VirtualSpan();
    const uint32_t address = Checked32(AlignUp(end ? end : image_.SizeOfHeaders(), image_.SectionAlignment()));
    ByteRuns data = WriteResourceSectionRuns(tree, address);
    const uint32_t dataSize = Checked32(data.Size());
    const uint32_t rawSize = Checked32(AlignUp(dataSize, image_.FileAlignment()));

    out_ = image_.Bytes().substr(0, overlayStart_);
    Pad(out_, AlignUp(out_.size(), image_.FileAlignment()));
    const uint32_t rawOffset = Checked32(out_.size());
    tail_.Append(std::move(data));
    tail_.AppendZeros(rawSize - dataSize);
    tail_.Append(std::move(overlay_));

    std::string header(".rsrc\0\0\0", 8);
    AppendU32(header, dataSize);
    AppendU32(header, address);
    AppendU32(header, rawSize);
    AppendU32(header, rawOffset);
    header.append(12, '\0');
    AppendU32(header, kInitializedDataReadable);
    out_.replace(headerOffset, kSectionHeaderSize, header);
    StoreU16At(out_, image_.CoffHeaderOffset() + 2, static_cast<uint16_t>(sections.size() + 1));
    SetDirectory(kDirectoryResource, address, dataSize);
    initializedDataDelta_ = rawSize;
    lastSectionEnd_ = uint64_t{address} + dataSize;
  }

  // A new section header needs 40 unused bytes between the section table and the
  // first section's data, inside the declared header size.
  bool HeaderSlotFree(size_t offset) const {
    uint64_t limit = image_.SizeOfHeaders();
    for (const PeSection& section : image_.Sections()) {
      if (section.rawSize && section.rawOffset < limit) limit = section.rawOffset;
    }
    if (offset + kSectionHeaderSize > limit) return false;
    std::string_view slot = std::string_view(image_.Bytes()).substr(offset, kSectionHeaderSize);
    return slot.find_first_not_of('\0') == std::string_view::npos;
  }

  void SetDirectory(size_t index, uint32_t rva, uint32_t size) {
    if (index >= image_.DirectoryCount()) throw PeFormatError("has no resource data directory");
    StoreU32At(out_, image_.DirectoryOffset(index), rva);
    StoreU32At(out_, image_.DirectoryOffset(index) + 4, size);
  }

  ByteRuns FinishHeaders() {
    const size_t optional = image_.OptionalHeaderOffset();
    StoreU32At(out_, optional + 56, Checked32(AlignUp(lastSectionEnd_, image_.SectionAlignment())));
    const int64_t initialized = int64_t{ReadU32At(out_, optional + 8)} + initializedDataDelta_;
    StoreU32At(out_, optional + 8, initialized < 0 ? 0 : Checked32(static_cast<uint64_t>(initialized)));

    // A COFF symbol table stored after the sections moves with the overlay.
    const size_t symbols = ReadU32At(out_, image_.CoffHeaderOffset() + 8);
    const uint64_t newOverlayStart = Size() - overlaySize_;
    if (symbols >= overlayStart_) {
      StoreU32At(out_, image_.CoffHeaderOffset() + 8, Checked32(symbols - overlayStart_ + newOverlayStart));
    }
    if (stripCertificate_) SetDirectory(kDirectorySecurity, 0, 0);
    Checked32(Size());
    PeChecksum checksum(image_.ChecksumOffset());
    checksum.Add(out_);
    for (const std::string_view run : tail_.Runs()) checksum.Add(run);
    StoreU32At(out_, image_.ChecksumOffset(), checksum.Finish());
    ByteRuns file;
    file.Append(std::move(out_));
    file.Append(std::move(tail_));
    return file;
  }

  const PeImage& image_;
  size_t overlayStart_ = 0;
  std::string overlay_;
  uint64_t overlaySize_ = 0;
  bool stripCertificate_ = false;
  std::string out_;      // the file up to the resource section: every header field lies here
  ByteRuns tail_;        // the rest, the resources' data by reference
  int64_t initializedDataDelta_ = 0;
  uint64_t lastSectionEnd_ = 0;
};

}  // namespace

UpdatedImage ReplaceResources(const PeImage& image, const ResourceTree& tree, bool stripSignature) {
  return ImageWriter(image, stripSignature).Write(tree);
}

const char* PlacementName(ResourcePlacement placement) {
  switch (placement) {
    case ResourcePlacement::kInPlace: return "resource section rewritten in place";
    case ResourcePlacement::kInPlaceMovingReloc: return "resource section rewritten in place, relocations moved behind it";
    case ResourcePlacement::kNewSection: return "new resource section appended";
  }
  return "";
}
