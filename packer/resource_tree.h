#pragma once
// The resources of a PE file as a three-level tree: type, name, language. The maps are
// ordered the way a resource directory must be (names first by UTF-16 code unit, then
// ids ascending), so the writer emits them in map order and the loader's binary search
// finds every entry.
#include <cstdint>
#include <map>
#include <string>

class ResourceName {
 public:
  ResourceName(uint32_t id) : id_(id) {}  // NOLINT: ids are the common case
  ResourceName(std::u16string name) : named_(true), name_(std::move(name)) {}  // NOLINT

  bool IsNamed() const { return named_; }
  uint32_t Id() const { return id_; }
  const std::u16string& Name() const { return name_; }
  // "#1100" style for ids, the name itself (as UTF-8) otherwise; for messages.
  std::string Display() const;

  friend bool operator<(const ResourceName& a, const ResourceName& b) {
    if (a.named_ != b.named_) return a.named_;
    return a.named_ ? a.name_ < b.name_ : a.id_ < b.id_;
  }
  friend bool operator==(const ResourceName& a, const ResourceName& b) {
    return a.named_ == b.named_ && a.id_ == b.id_ && a.name_ == b.name_;
  }

 private:
  bool named_ = false;
  uint32_t id_ = 0;
  std::u16string name_;
};

struct ResourceData {
  std::string bytes;
  uint32_t codePage = 0;

  friend bool operator==(const ResourceData& a, const ResourceData& b) {
    return a.bytes == b.bytes && a.codePage == b.codePage;
  }
};

using LanguageTable = std::map<uint32_t, ResourceData>;
using NameTable = std::map<ResourceName, LanguageTable>;
using ResourceTree = std::map<ResourceName, NameTable>;

constexpr uint32_t kResourceTypeIcon = 3;
constexpr uint32_t kResourceTypeGroupIcon = 14;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint16_t kLanguageEnglishUs = 1033;

// The type the launcher looks its items up under. Windows compares resource names
// case-insensitively by upper-casing the searched name, so it is stored in upper case.
const std::u16string& PackedItemType();

// Removes one entry and any table it leaves empty.
void RemoveResource(ResourceTree& tree, const ResourceName& type, const ResourceName& name,
                    uint32_t language);
