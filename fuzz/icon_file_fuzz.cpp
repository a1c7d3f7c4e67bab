// The application's .ico file, handed to the packer by its user, and the icon group of
// the stub it replaces (which a damaged stub may hold in any shape).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/encoding/byte_io.h"
#include "packer/icon_group.h"
#include "packer/resource_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte tells how many of the following bytes are the stub's old group.
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view oldGroup = rest.substr(0, data[0]);
  const std::string_view icoFile = rest.substr(oldGroup.size());

  ResourceTree tree;
  tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(1)][kLanguageEnglishUs] = {std::string(oldGroup), 0};
  for (uint32_t id : {1u, 2u, 7u}) tree[ResourceName(kResourceTypeIcon)][ResourceName(id)][kLanguageEnglishUs] = {"icon", 0};
  try {
    ReplaceFirstIconGroup(tree, icoFile);
  } catch (const IconFormatError&) {
    return 0;
  }

  // Every image the new group names must be there under the group's language.
  const std::string& group = tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(1)][kLanguageEnglishUs].bytes;
  const uint16_t count = ReadU16At(group, 4);
  FUZZ_CHECK(count > 0 && group.size() == 6 + 14 * size_t{count});
  const NameTable& icons = tree[ResourceName(kResourceTypeIcon)];
  uint64_t imageBytes = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint16_t id = ReadU16At(group, 6 + 14 * i + 12);
    auto it = icons.find(ResourceName(id));
    FUZZ_CHECK(it != icons.end() && it->second.count(kLanguageEnglishUs));
    FUZZ_CHECK(it->second.at(kLanguageEnglishUs).bytes.size() == ReadU32At(group, 6 + 14 * i + 8));
    imageBytes += ReadU32At(group, 6 + 14 * i + 8);
  }
  // Images are copied out of the file: together they cannot hold more than it does.
  FUZZ_CHECK(imageBytes <= icoFile.size());
  return 0;
}
