#include "packer/resource_tree.h"

#include "packer/lenient_text.h"

std::string ResourceName::Display() const {
  return named_ ? LenientUtf8(name_) : "#" + std::to_string(id_);
}

const std::u16string& PackedItemType() {
  static const std::u16string type = u"EXTRSC";
  return type;
}

void RemoveResource(ResourceTree& tree, const ResourceName& type, const ResourceName& name,
                    uint32_t language) {
  auto typeIt = tree.find(type);
  if (typeIt == tree.end()) return;
  auto nameIt = typeIt->second.find(name);
  if (nameIt == typeIt->second.end()) return;
  nameIt->second.erase(language);
  if (nameIt->second.empty()) typeIt->second.erase(nameIt);
  if (typeIt->second.empty()) tree.erase(typeIt);
}
