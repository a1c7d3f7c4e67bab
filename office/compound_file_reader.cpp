// Reads a compound file into a tree of entries. Every sector number, chain and sibling
// link is checked before use, so a damaged file fails with a message instead of reading
// out of bounds or looping.
#include <set>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/compound_file.h"
#include "office/compound_file_layout.h"
#include "office/loader_format_error.h"

using namespace cfb;

namespace {

constexpr int kMaxNesting = 64;

LoaderFormatError Damaged(const std::string& what) { return LoaderFormatError("compound file: " + what); }

class Reader {
 public:
  explicit Reader(std::string_view file) : file_(file) {
    if (file.size() < 512 || file.substr(0, 8) != std::string_view(kSignature, 8)) throw Damaged("no compound file signature");
    const uint16_t shift = ReadU16At(file, 0x1E);
    if (shift != 9 && shift != 12) throw Damaged("unknown sector size");
    sectorSize_ = uint32_t{1} << shift;
    if (ReadU16At(file, 0x20) != 6) throw Damaged("unknown mini sector size");
    miniSectorSize_ = kMiniSectorSize;
    cutoff_ = ReadU32At(file, 0x38);
    ReadFat();
    directory_ = ReadChain(fat_, ReadU32At(file, kHeaderFirstDirectorySector));
    miniFat_ = Numbers(ReadChain(fat_, ReadU32At(file, kHeaderFirstMiniFatSector)));
    const std::string_view root = Entry(0);
    if (root.size() < kEntrySize || static_cast<uint8_t>(root[kEntryType]) != kTypeRoot) throw Damaged("no root entry");
    miniStream_ = ReadChain(fat_, ReadU32At(root, kEntryStart));
  }

  CfbEntry Root() {
    CfbEntry root = CfbEntry::Storage("Root Entry", {});
    root.clsid = Clsid(Entry(0));
    AddSiblings(ReadU32At(Entry(0), kEntryChild), root);
    return root;
  }

 private:
  void ReadFat() {
    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < kHeaderFatSlots; ++i) fatSectors.push_back(ReadU32At(file_, kHeaderDifat + 4 * i));
    // Further FAT sector numbers live in DIFAT sectors, each ending with the next one's number.
    uint32_t difat = ReadU32At(file_, kHeaderFirstDifatSector);
    for (size_t guard = 0; difat < kFatSector; ++guard) {
      if (guard > SectorCount()) throw Damaged("the DIFAT chain loops");
      const std::string_view sector = Sector(difat);
      for (uint32_t i = 0; i + 4 < sectorSize_; i += 4) fatSectors.push_back(ReadU32At(sector, i));
      difat = ReadU32At(sector, sectorSize_ - 4);
    }
    const uint32_t count = ReadU32At(file_, kHeaderFatSectorCount);
    if (count > SectorCount()) throw Damaged("more FAT sectors counted than the file holds");
    std::string fat;
    std::set<uint32_t> listed;
    for (uint32_t i = 0; i < count; ++i) {
      if (i >= fatSectors.size()) throw Damaged("fewer FAT sectors listed than counted");
      if (!listed.insert(fatSectors[i]).second) throw Damaged("FAT sector " + std::to_string(fatSectors[i]) + " is listed twice");
      fat += Sector(fatSectors[i]);
    }
    fat_ = Numbers(fat);
  }

  static std::vector<uint32_t> Numbers(std::string_view bytes) {
    std::vector<uint32_t> numbers;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) numbers.push_back(ReadU32At(bytes, i));
    return numbers;
  }

  size_t SectorCount() const { return file_.size() / sectorSize_; }

  std::string_view Sector(uint32_t id) const {
    const size_t offset = (size_t{id} + 1) * sectorSize_;
    if (offset + sectorSize_ > file_.size()) throw Damaged("sector " + std::to_string(id) + " lies past the end of the file");
    return file_.substr(offset, sectorSize_);
  }

  std::string ReadChain(const std::vector<uint32_t>& fat, uint32_t start) { return ReadChain(fat, start, false); }

  // A chain of sectors, or of mini sectors in the mini stream.
  // Each sector belongs to one chain at most, so that nothing read can outgrow the file.
  std::string ReadChain(const std::vector<uint32_t>& fat, uint32_t start, bool mini) {
    std::vector<bool>& claimed = mini ? claimedMini_ : claimed_;
    if (claimed.size() < fat.size()) claimed.resize(fat.size(), false);
    std::string data;
    for (uint32_t id = start; id != kEndOfChain; id = fat[id]) {
      if (id >= fat.size()) throw Damaged("a chain names sector " + std::to_string(id) + ", outside the FAT");
      if (claimed[id]) throw Damaged("sector " + std::to_string(id) + " belongs to two chains, or a chain loops");
      claimed[id] = true;
      if (!mini) {
        data += Sector(id);
        continue;
      }
      const size_t offset = size_t{id} * miniSectorSize_;
      if (offset + miniSectorSize_ > miniStream_.size()) throw Damaged("a mini sector lies past the mini stream");
      data += miniStream_.substr(offset, miniSectorSize_);
    }
    return data;
  }

  std::string_view Entry(uint32_t id) const {
    const size_t offset = size_t{id} * kEntrySize;
    if (offset + kEntrySize > directory_.size()) throw Damaged("directory entry " + std::to_string(id) + " does not exist");
    return std::string_view(directory_).substr(offset, kEntrySize);
  }

  // A storage's entries are a binary tree through their sibling links, walked in order with
  // a stack of our own: a tree of thousands of left links must not exhaust the thread's.
  // Storages within storages recurse, each level an entry at least, up to a depth no real
  // file comes near.
  void AddSiblings(uint32_t top, CfbEntry& parent, int nesting = 0) {
    if (nesting > kMaxNesting) throw Damaged("storages are nested deeper than " + std::to_string(kMaxNesting));
    std::vector<uint32_t> pending;
    uint32_t id = top;
    while (id != kNoEntry || !pending.empty()) {
      for (; id != kNoEntry; id = ReadU32At(Entry(id), kEntryLeft)) {
        if (!visited_.insert(id).second) throw Damaged("the directory links entry " + std::to_string(id) + " twice");
        pending.push_back(id);
      }
      id = pending.back();
      pending.pop_back();
      const std::string_view entry = Entry(id);
      parent.children.push_back(ReadEntry(id, entry, nesting));
      id = ReadU32At(entry, kEntryRight);
    }
  }

  CfbEntry ReadEntry(uint32_t id, std::string_view entry, int nesting) {
    const uint16_t nameBytes = ReadU16At(entry, kEntryNameLength);
    if (nameBytes < 2 || nameBytes > 64 || nameBytes % 2) throw Damaged("a directory entry has a bad name length");
    CfbEntry child;
    try {
      child.name = Utf16ToUtf8(Utf16LeBytesToString(entry.substr(0, nameBytes - 2)));
    } catch (const std::runtime_error&) {
      throw Damaged("entry " + std::to_string(id) + " has a name that is not UTF-16");
    }
    if (HasForbiddenNameCharacter(child.name)) {
      throw Damaged("entry '" + child.name + "' has a forbidden character in its name");
    }
    const uint8_t type = static_cast<uint8_t>(entry[kEntryType]);
    if (type == kTypeStorage) {
      child.storage = true;
      child.clsid = Clsid(entry);
      AddSiblings(ReadU32At(entry, kEntryChild), child, nesting + 1);
    } else if (type == kTypeStream) {
      child.data = StreamData(entry);
    } else {
      throw Damaged("entry '" + child.name + "' is neither a storage nor a stream");
    }
    return child;
  }

  // Empty when all zero, the usual case.
  static std::string Clsid(std::string_view entry) {
    const std::string_view clsid = entry.substr(kEntryClsid, kClsidSize);
    return clsid.find_first_not_of('\0') == std::string_view::npos ? std::string() : std::string(clsid);
  }

  std::string StreamData(std::string_view entry) {
    const uint64_t size = ReadU32At(entry, kEntrySizeField);  // the high half is unused in version 3
    const uint32_t start = ReadU32At(entry, kEntryStart);
    if (size == 0) return {};
    std::string data = size < cutoff_ ? ReadChain(miniFat_, start, true) : ReadChain(fat_, start);
    if (data.size() < size) throw Damaged("a stream is shorter than its size");
    data.resize(size);
    return data;
  }

  std::string_view file_;
  uint32_t sectorSize_ = 0;
  uint32_t miniSectorSize_ = 0;
  uint32_t cutoff_ = 0;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::string directory_;
  std::string miniStream_;
  std::set<uint32_t> visited_;
  std::vector<bool> claimed_;
  std::vector<bool> claimedMini_;
};

}  // namespace

CfbEntry ReadCompoundFile(std::string_view file) { return Reader(file).Root(); }
