// Writing a resource section. Layout: every directory table breadth first (the type
// table, then each type's name table, then each name's language table), then the data
// entries, then the names, then the data, each blob 4-byte aligned.
#include <vector>

#include "core/encoding/byte_io.h"
#include "packer/resource_section.h"

namespace {

constexpr uint32_t kHighBit = 0x80000000;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;

size_t TableSize(size_t entries) { return kTableHeaderSize + entries * kEntrySize; }

size_t Align4(size_t value) { return (value + 3) & ~size_t{3}; }

bool IsNamed(const ResourceName& name) { return name.IsNamed(); }
bool IsNamed(uint32_t) { return false; }  // languages are always ids

template <typename Map>
void AppendTableHeader(std::string& out, const Map& table) {
  uint16_t named = 0;
  for (const auto& entry : table) named += IsNamed(entry.first) ? 1 : 0;
  AppendU32(out, 0);  // characteristics
  AppendU32(out, 0);  // time stamp
  AppendU32(out, 0);  // major and minor version
  AppendU16(out, named);
  AppendU16(out, static_cast<uint16_t>(table.size() - named));
}

// Names are written once each, in the order the tables meet them.
class NamePool {
 public:
  explicit NamePool(size_t start) : next_(start) {}

  uint32_t Field(const ResourceName& name) {
    if (!name.IsNamed()) return name.Id();
    auto [it, inserted] = offsets_.try_emplace(name.Name(), static_cast<uint32_t>(next_));
    if (inserted) {
      AppendU16(bytes_, static_cast<uint16_t>(name.Name().size()));
      for (char16_t c : name.Name()) AppendU16(bytes_, c);
      next_ += 2 + 2 * name.Name().size();
    }
    return it->second | kHighBit;
  }

  const std::string& Bytes() const { return bytes_; }

 private:
  size_t next_;
  std::string bytes_;
  std::map<std::u16string, uint32_t> offsets_;
};

}  // namespace

ByteRuns WriteResourceSectionRuns(const ResourceTree& tree, uint32_t sectionRva) {
  // Offsets of every table, known before any entry that points at one is written.
  size_t tablesSize = TableSize(tree.size());
  size_t leafCount = 0;
  for (const auto& [type, names] : tree) {
    tablesSize += TableSize(names.size());
    for (const auto& [name, languages] : names) {
      tablesSize += TableSize(languages.size());
      leafCount += languages.size();
    }
  }
  const size_t dataEntriesStart = tablesSize;
  NamePool names(dataEntriesStart + leafCount * kDataEntrySize);

  std::string tables;
  std::string dataEntries;
  size_t nextNameTable = TableSize(tree.size());
  size_t nextLanguageTable = nextNameTable;
  for (const auto& entry : tree) nextLanguageTable += TableSize(entry.second.size());

  AppendTableHeader(tables, tree);
  for (const auto& [type, nameTable] : tree) {
    AppendU32(tables, names.Field(type));
    AppendU32(tables, static_cast<uint32_t>(nextNameTable) | kHighBit);
    nextNameTable += TableSize(nameTable.size());
  }
  for (const auto& [type, nameTable] : tree) {
    AppendTableHeader(tables, nameTable);
    for (const auto& [name, languages] : nameTable) {
      AppendU32(tables, names.Field(name));
      AppendU32(tables, static_cast<uint32_t>(nextLanguageTable) | kHighBit);
      nextLanguageTable += TableSize(languages.size());
    }
  }

  // Data follows the names; its offsets are known once the pool is complete.
  std::vector<const ResourceData*> leaves;
  size_t nextDataEntry = dataEntriesStart;
  for (const auto& [type, nameTable] : tree) {
    for (const auto& [name, languages] : nameTable) {
      AppendTableHeader(tables, languages);
      for (const auto& [language, resource] : languages) {
        AppendU32(tables, language);
        AppendU32(tables, static_cast<uint32_t>(nextDataEntry));
        nextDataEntry += kDataEntrySize;
        leaves.push_back(&resource);
      }
    }
  }

  size_t dataOffset = Align4(dataEntriesStart + leafCount * kDataEntrySize + names.Bytes().size());
  for (const ResourceData* leaf : leaves) {
    AppendU32(dataEntries, static_cast<uint32_t>(sectionRva + dataOffset));
    AppendU32(dataEntries, static_cast<uint32_t>(leaf->bytes.size()));
    AppendU32(dataEntries, leaf->codePage);
    AppendU32(dataEntries, 0);
    dataOffset += Align4(leaf->bytes.size());
  }

  std::string head = tables + dataEntries + names.Bytes();
  head.resize(Align4(head.size()), '\0');
  ByteRuns section;
  section.Append(std::move(head));
  for (const ResourceData* leaf : leaves) {
    section.AppendView(leaf->bytes);
    section.AppendZeros(Align4(leaf->bytes.size()) - leaf->bytes.size());
  }
  return section;
}

std::string WriteResourceSection(const ResourceTree& tree, uint32_t sectionRva) {
  return WriteResourceSectionRuns(tree, sectionRva).Flatten();
}
