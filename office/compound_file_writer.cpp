// Writes a version 3 compound file. The layout is fixed: FAT sectors, DIFAT sectors (for
// more FAT sectors than the header lists), the directory, the mini FAT, the mini stream,
// then the streams of 4096 bytes or more. Each storage's
// entries form a balanced tree whose leaves lie on at most two levels; with the deepest
// level red and the rest black it is a valid red-black tree, as the format asks.
#include <algorithm>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/compound_file.h"
#include "office/compound_file_layout.h"
#include "office/loader_format_error.h"

using namespace cfb;

namespace {

constexpr uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kDifatEntries = kEntriesPerSector - 1;  // the last is the next DIFAT sector
constexpr uint64_t kMaxSectors = 0xFFFFFFFA;                 // sector numbers below the special ones

uint32_t SectorsFor(size_t bytes, uint32_t sectorSize) { return static_cast<uint32_t>((bytes + sectorSize - 1) / sectorSize); }

struct DirectoryEntry {
  const CfbEntry* entry;
  uint8_t type;
  uint8_t color = kBlack;
  uint32_t depth = 0;
  uint32_t left = kNoEntry;
  uint32_t right = kNoEntry;
  uint32_t child = kNoEntry;
  uint32_t start = kEndOfChain;
  uint32_t size = 0;
};

class Writer {
 public:
  // With `owned`, the tree is the writer's to take apart: the largest stream's buffer
  // becomes the file's.
  std::string Write(const CfbEntry& root, bool owned) {
    owned_ = owned;
    entries_.push_back({&root, kTypeRoot});
    const uint32_t child = AddChildren(root);
    entries_[0].child = child;
    PlaceStreams();
    return Assemble();
  }

 private:
  // Adds a storage's entries in name order and returns the root of their tree.
  uint32_t AddChildren(const CfbEntry& storage) {
    std::vector<const CfbEntry*> sorted;
    for (const CfbEntry& child : storage.children) sorted.push_back(&child);
    const auto less = [](const CfbEntry* a, const CfbEntry* b) {
      return CfbNameLess(Utf8ToUtf16(a->name), Utf8ToUtf16(b->name));
    };
    std::sort(sorted.begin(), sorted.end(), less);
    // Names are compared without regard to case: two alike would make one unreachable.
    const auto alike = std::adjacent_find(sorted.begin(), sorted.end(),
                                          [&](const CfbEntry* a, const CfbEntry* b) { return !less(a, b); });
    if (alike != sorted.end()) {
      throw LoaderFormatError("compound file: two entries of one storage are named '" + (*alike)->name + "'");
    }
    const auto first = static_cast<uint32_t>(entries_.size());
    for (const CfbEntry* child : sorted) entries_.push_back({child, child->storage ? kTypeStorage : kTypeStream});
    const auto end = static_cast<uint32_t>(entries_.size());
    for (uint32_t id = first; id < end; ++id) {
      if (entries_[id].entry->storage) {
        const uint32_t subtree = AddChildren(*entries_[id].entry);
        entries_[id].child = subtree;
      }
    }
    const uint32_t root = Balance(first, end, 0);
    uint32_t deepest = 0;
    for (uint32_t id = first; id < end; ++id) deepest = std::max(deepest, entries_[id].depth);
    for (uint32_t id = first; id < end; ++id) {
      if (deepest > 0 && entries_[id].depth == deepest) entries_[id].color = kRed;
    }
    return root;
  }

  // Halving keeps the two sides within one entry of each other, so every missing child
  // is on the deepest level or the one above it.
  uint32_t Balance(uint32_t begin, uint32_t end, uint32_t depth) {
    if (begin == end) return kNoEntry;
    const uint32_t middle = begin + (end - begin) / 2;
    entries_[middle].depth = depth;
    entries_[middle].left = Balance(begin, middle, depth + 1);
    entries_[middle].right = Balance(middle + 1, end, depth + 1);
    return middle;
  }

  // Small streams go to the mini stream now; large ones get their sectors in Assemble.
  void PlaceStreams() {
    for (DirectoryEntry& e : entries_) {
      if (e.type != kTypeStream) continue;
      const std::string& data = e.entry->data;
      if (data.size() > 0xFFFFFFFFu) throw LoaderFormatError(e.entry->name + ": a stream of 4 GB or more");
      e.size = static_cast<uint32_t>(data.size());
      if (data.empty() || data.size() >= kMiniStreamCutoff) continue;
      const uint32_t count = SectorsFor(data.size(), kMiniSectorSize);
      e.start = static_cast<uint32_t>(miniFat_.size());
      Chain(miniFat_, e.start, count);
      miniStream_ += data;
      miniStream_.resize(size_t{miniFat_.size()} * kMiniSectorSize, '\0');
    }
  }

  static void Chain(std::vector<uint32_t>& fat, uint32_t start, uint32_t count) {
    if (fat.size() < start + count) fat.resize(start + count, kFree);
    for (uint32_t i = 0; i < count; ++i) fat[start + i] = i + 1 < count ? start + i + 1 : kEndOfChain;
  }

  std::string Assemble() {
    const uint32_t directorySectors = SectorsFor(entries_.size() * kEntrySize, kSectorSize);
    const uint32_t miniFatSectors = SectorsFor(miniFat_.size() * 4, kSectorSize);
    const uint32_t miniStreamSectors = SectorsFor(miniStream_.size(), kSectorSize);
    uint64_t largeSectors = 0;
    for (const DirectoryEntry& e : entries_) {
      if (e.type == kTypeStream && e.size >= kMiniStreamCutoff) largeSectors += SectorsFor(e.size, kSectorSize);
    }
    const uint64_t others = uint64_t{directorySectors} + miniFatSectors + miniStreamSectors + largeSectors;
    // The header lists the first FAT sectors; DIFAT sectors list the rest, and the FAT
    // covers them all, itself included.
    uint64_t fatSectors = 1;
    uint64_t difatSectors = 0;
    for (;;) {
      difatSectors = fatSectors > kHeaderFatSlots ? (fatSectors - kHeaderFatSlots + kDifatEntries - 1) / kDifatEntries : 0;
      if (fatSectors * kEntriesPerSector >= others + fatSectors + difatSectors) break;
      ++fatSectors;
    }
    if (others + fatSectors + difatSectors >= kMaxSectors) throw LoaderFormatError("compound file: larger than the format holds");

    std::vector<uint32_t> fat(fatSectors * kEntriesPerSector, kFree);
    std::fill_n(fat.begin(), fatSectors, kFatSector);
    std::fill_n(fat.begin() + static_cast<ptrdiff_t>(fatSectors), difatSectors, kDifatSector);
    auto next = static_cast<uint32_t>(fatSectors + difatSectors);
    auto place = [&](uint32_t count) {
      if (count == 0) return kEndOfChain;
      const uint32_t start = next;
      Chain(fat, start, count);
      next += count;
      return start;
    };
    const uint32_t directoryStart = place(directorySectors);
    const uint32_t miniFatStart = place(miniFatSectors);
    entries_[0].start = place(miniStreamSectors);
    entries_[0].size = static_cast<uint32_t>(miniStream_.size());
    for (DirectoryEntry& e : entries_) {
      if (e.type == kTypeStream && e.size >= kMiniStreamCutoff) e.start = place(SectorsFor(e.size, kSectorSize));
    }

    // One buffer of the file's final size: a large stream is copied once, into its place,
    // or not at all when its own buffer becomes the file's.
    std::string file;
    if (!owned_) file.reserve((1 + uint64_t{next}) * kSectorSize);
    file += Header(static_cast<uint32_t>(fatSectors), static_cast<uint32_t>(difatSectors), directoryStart,
                   miniFatStart, miniFatSectors);
    for (uint32_t value : fat) AppendU32(file, value);
    AppendDifat(file, static_cast<uint32_t>(fatSectors), static_cast<uint32_t>(difatSectors));
    for (const DirectoryEntry& e : entries_) AppendEntry(file, e);
    PadDirectory(file);
    for (uint32_t value : miniFat_) AppendU32(file, value);
    if ((file.size() % kSectorSize) != 0) file.resize(file.size() + (kSectorSize - file.size() % kSectorSize), '\xFF');
    file += miniStream_;
    Pad(file);
    const DirectoryEntry* largest = nullptr;
    for (const DirectoryEntry& e : entries_) {
      if (e.type == kTypeStream && e.size >= kMiniStreamCutoff && (!largest || e.size > largest->size)) largest = &e;
    }
    for (const DirectoryEntry& e : entries_) {
      if (e.type != kTypeStream || e.size < kMiniStreamCutoff) continue;
      if (owned_ && &e == largest) {
        // The tree was handed over (WriteCompoundFile(CfbEntry&&)), so its entries are not
        // const: the stream moves, and the file so far goes in front of it, in place when
        // its capacity allows.
        std::string data = std::move(const_cast<CfbEntry*>(e.entry)->data);
        data.insert(0, file);
        file = std::move(data);
      } else {
        file += e.entry->data;
      }
      Pad(file);
    }
    return file;
  }

  // Each DIFAT sector lists the FAT sectors after the header's, and ends with the next
  // DIFAT sector's number. They follow the FAT sectors.
  static void AppendDifat(std::string& out, uint32_t fatSectors, uint32_t difatSectors) {
    uint32_t listed = kHeaderFatSlots;
    for (uint32_t d = 0; d < difatSectors; ++d) {
      for (uint32_t i = 0; i < kDifatEntries; ++i, ++listed) AppendU32(out, listed < fatSectors ? listed : kFree);
      AppendU32(out, d + 1 < difatSectors ? fatSectors + d + 1 : kEndOfChain);
    }
  }

  static void Pad(std::string& bytes) { bytes.resize(size_t{SectorsFor(bytes.size(), kSectorSize)} * kSectorSize, '\0'); }

  // Unused directory slots are empty entries: no name, no type, no siblings.
  static void PadDirectory(std::string& bytes) {
    while (bytes.size() % kSectorSize != 0) {
      std::string empty(kEntrySize, '\0');
      StoreU32At(empty, kEntryLeft, kNoEntry);
      StoreU32At(empty, kEntryRight, kNoEntry);
      StoreU32At(empty, kEntryChild, kNoEntry);
      bytes += empty;
    }
  }

  static std::string Header(uint32_t fatSectors, uint32_t difatSectors, uint32_t directoryStart, uint32_t miniFatStart,
                            uint32_t miniFatSectors) {
    std::string header(kSignature, 8);
    header.resize(24, '\0');            // CLSID, zero
    AppendU16(header, 0x003E);          // minor version
    AppendU16(header, 0x0003);          // major version 3: 512-byte sectors
    AppendU16(header, 0xFFFE);          // little-endian
    AppendU16(header, 9);               // sector shift
    AppendU16(header, 6);               // mini sector shift
    header.resize(header.size() + 6, '\0');
    AppendU32(header, 0);               // directory sectors: always 0 in version 3
    AppendU32(header, fatSectors);
    AppendU32(header, directoryStart);
    AppendU32(header, 0);               // transaction signature
    AppendU32(header, kMiniStreamCutoff);
    AppendU32(header, miniFatStart);
    AppendU32(header, miniFatSectors);
    AppendU32(header, difatSectors ? fatSectors : kEndOfChain);  // the first DIFAT sector follows the FAT
    AppendU32(header, difatSectors);
    for (uint32_t i = 0; i < kHeaderFatSlots; ++i) AppendU32(header, i < fatSectors ? i : kFree);
    return header;
  }

  static void AppendEntry(std::string& out, const DirectoryEntry& e) {
    const std::u16string name = e.type == kTypeRoot ? u"Root Entry" : Utf8ToUtf16(e.entry->name);
    if (name.empty() || name.size() > 31) throw LoaderFormatError("compound file: the name '" + e.entry->name + "' is empty or longer than 31 units");
    if (e.type != kTypeRoot && HasForbiddenNameCharacter(e.entry->name)) {
      throw LoaderFormatError("compound file: the name '" + e.entry->name + "' holds a character the format forbids");
    }
    std::string entry = StringToUtf16LeBytes(name);
    entry.resize(kEntryNameLength, '\0');
    AppendU16(entry, static_cast<uint16_t>((name.size() + 1) * 2));
    AppendU8(entry, e.type);
    AppendU8(entry, e.color);
    AppendU32(entry, e.left);
    AppendU32(entry, e.right);
    AppendU32(entry, e.child);
    if (e.entry->storage && e.entry->clsid.size() != kClsidSize && !e.entry->clsid.empty()) {
      throw LoaderFormatError("compound file: the class id of '" + e.entry->name + "' is not 16 bytes");
    }
    entry += e.entry->storage ? e.entry->clsid : std::string();
    entry.resize(kEntryStart, '\0');    // state bits, creation and modification times
    // A storage other than the root has no sectors of its own: its start must be 0.
    AppendU32(entry, e.type == kTypeStorage ? 0 : e.start);
    AppendU64(entry, e.size);
    out += entry;
  }

  bool owned_ = false;
  std::vector<DirectoryEntry> entries_;
  std::vector<uint32_t> miniFat_;
  std::string miniStream_;
};

}  // namespace

std::string WriteCompoundFile(const CfbEntry& root) { return Writer().Write(root, false); }

std::string WriteCompoundFile(CfbEntry&& root) { return Writer().Write(root, true); }
