// Reading a resource directory from bytes that are not trusted. Offsets inside the
// directory count from its start and are checked against the section's data; every
// table may be visited once, so a directory that points back at one of its own tables
// is rejected instead of being walked forever. Names and data are copied out, so
// entries that all point at the same bytes could turn a small file into gigabytes: what
// is copied may not add up to more than the file holds.
#include <set>
#include <vector>

#include "core/encoding/byte_io.h"
#include "packer/resource_section.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;

struct DirectoryEntry {
  ResourceName name;
  bool isTable;
  uint32_t target;  // offset of the sub-table or of the data entry
};

class DirectoryReader {
 public:
  DirectoryReader(const PeImage& image, std::string_view directory)
      : image_(image), directory_(directory) {}

  ResourceTree Read() {
    ResourceTree tree;
    for (const DirectoryEntry& type : Entries(0, "type")) {
      NameTable& names = Insert(tree, type.name, "type");
      for (const DirectoryEntry& name : Entries(TableOf(type), "name")) {
        LanguageTable& languages = Insert(names, name.name, "name");
        for (const DirectoryEntry& language : Entries(TableOf(name), "language")) {
          if (language.name.IsNamed()) throw PeFormatError("resource language entry has a name");
          if (language.isTable) throw PeFormatError("resource directory is nested deeper than three levels");
          Insert(languages, language.name.Id(), "language") = Data(language.target);
        }
      }
    }
    return tree;
  }

 private:
  static uint32_t TableOf(const DirectoryEntry& entry) {
    if (!entry.isTable) throw PeFormatError("resource entry " + entry.name.Display() + " lacks its sub-table");
    return entry.target;
  }

  template <typename Map>
  static typename Map::mapped_type& Insert(Map& map, const typename Map::key_type& key, const char* level) {
    auto [it, inserted] = map.try_emplace(key);
    if (!inserted) throw PeFormatError(std::string("duplicate resource ") + level + " entry");
    return it->second;
  }

  std::vector<DirectoryEntry> Entries(uint32_t offset, const char* level) {
    if (!visited_.insert(offset).second) throw PeFormatError("resource directory loops back on itself (a table is reached twice)");
    const size_t count = size_t{ReadU16At(directory_, offset + size_t{12})} + ReadU16At(directory_, offset + size_t{14});
    if (uint64_t{offset} + kTableHeaderSize + count * kEntrySize > directory_.size()) {
      throw PeFormatError(std::string("resource ") + level + " table runs past the end of the section");
    }
    std::vector<DirectoryEntry> entries;
    ByteReader reader(directory_, offset + kTableHeaderSize);
    for (size_t i = 0; i < count; ++i) {
      const uint32_t nameField = reader.U32();
      const uint32_t targetField = reader.U32();
      entries.push_back({NameOf(nameField), (targetField & kHighBit) != 0, targetField & ~kHighBit});
    }
    return entries;
  }

  // Counts bytes copied out of the directory against the size of the whole file.
  void Take(uint64_t bytes) {
    taken_ += bytes;
    if (taken_ > image_.Bytes().size()) {
      throw PeFormatError("resource entries share their names or data (more than the file holds)");
    }
  }

  ResourceName NameOf(uint32_t field) {
    if (!(field & kHighBit)) return ResourceName(field);
    const size_t offset = field & ~kHighBit;
    const size_t length = ReadU16At(directory_, offset);
    if (uint64_t{offset} + 2 + 2 * length > directory_.size()) {
      throw PeFormatError("resource name runs past the end of the section");
    }
    Take(2 * length);
    std::u16string name;
    ByteReader reader(directory_, offset + 2);
    for (size_t i = 0; i < length; ++i) name.push_back(static_cast<char16_t>(reader.U16()));
    return ResourceName(std::move(name));
  }

  ResourceData Data(uint32_t offset) {
    if (uint64_t{offset} + kDataEntrySize > directory_.size()) {
      throw PeFormatError("resource data entry runs past the end of the section");
    }
    ByteReader reader(directory_, offset);
    const uint32_t rva = reader.U32();
    const uint32_t size = reader.U32();
    const uint32_t codePage = reader.U32();
    std::optional<std::string_view> bytes = image_.ReadRva(rva, size);
    if (!bytes) throw PeFormatError("resource data lies outside the file's sections");
    Take(bytes->size());
    return {std::string(*bytes), codePage};
  }

  const PeImage& image_;
  std::string_view directory_;
  std::set<uint32_t> visited_;
  uint64_t taken_ = 0;
};

}  // namespace

ResourceTree ReadResourceTree(const PeImage& image) {
  const PeDataDirectory entry = image.Directory(kDirectoryResource);
  if (entry.rva == 0 || entry.size == 0) return {};
  std::string_view directory = image.RawFrom(entry.rva);
  if (directory.size() < kTableHeaderSize) throw PeFormatError("resource directory lies outside the file's sections");
  return DirectoryReader(image, directory).Read();
}
