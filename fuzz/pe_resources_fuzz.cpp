// A stub or application executable handed to the packer: PE headers, section table and
// resource directory from untrusted bytes, then an item put in as `sheetpack put` does.
// A file the reader takes must be written back into one that reads back the same, and
// that is not much larger than the file and its new resources.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "packer/pe_image.h"
#include "packer/pe_resource_update.h"
#include "packer/resource_section.h"
#include "packer/resource_tree.h"

namespace {

std::optional<ResourceTree> Read(const PeImage& image) {
  try {
    return ReadResourceTree(image);
  } catch (const PeFormatError&) {
    return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<PeImage> image;
  try {
    image.emplace(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const PeFormatError&) {
    return 0;
  }
  std::optional<ResourceTree> tree = Read(*image);
  if (!tree) return 0;

  (*tree)[PackedItemType()][ResourceName(1100)][kLanguageEnglishUs] = {std::string(40, 'x'), 0};
  std::optional<UpdatedImage> updated;
  try {
    updated = ReplaceResources(*image, *tree, true);
  } catch (const PeFormatError&) {
    return 0;  // no room for the resources, or an image that would outgrow 4 GB
  }
  // The new file is the old one with the new resources, aligned: never much more.
  const uint64_t resources = WriteResourceSection(*tree, 0).size();
  FUZZ_CHECK(updated->bytes.Size() <= size + resources + 3 * uint64_t{0x10000});
  const PeImage written(updated->bytes.Flatten());  // throws, and so fails, when unreadable
  FUZZ_CHECK(Read(written) == tree);
  return 0;
}
