#include "packer/app_executable.h"

#include <cstdio>

#include "packer/cli.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"
#include "packer/pe_resource_update.h"
#include "packer/resource_section.h"
#include "packer/size_limits.h"

namespace fs = std::filesystem;

namespace {

PeImage ParseImage(const fs::path& path) {
  try {
    return PeImage(ReadFileBytes(path));
  } catch (const PeFormatError& error) {
    throw BadInput(PathToUtf8(path), error.what());
  }
}

}  // namespace

LoadedExecutable LoadExecutable(const fs::path& path) {
  PeImage image = ParseImage(path);
  try {
    ResourceTree tree = ReadResourceTree(image);
    return {path, std::move(image), std::move(tree)};
  } catch (const PeFormatError& error) {
    throw BadInput(PathToUtf8(path), error.what());
  }
}

size_t SaveExecutable(const LoadedExecutable& executable, const ResourceTree& tree, const fs::path& target,
                    bool stripSignature, const CommandContext& context) {
  const UpdatedImage updated = [&] {
    try {
      return ReplaceResources(executable.image, tree, stripSignature);
    } catch (const PeFormatError& error) {
      throw BadInput(PathToUtf8(executable.path), error.what());
    }
  }();
  if (updated.bytes.Size() >= kMaxImageSize) {
    throw BadInput(PathToUtf8(target), "would be " + std::to_string(updated.bytes.Size()) +
                                           " bytes: Windows starts an executable only below 2 GiB (" +
                                           std::to_string(kMaxImageSize) + " bytes); pack less");
  }
  context.Note(PathToUtf8(target) + ": " + PlacementName(updated.placement) + ", " +
               std::to_string(updated.bytes.Size()) + " bytes");
  WriteFileAtomically(target, updated.bytes);
  return updated.bytes.Size();
}

std::string MachineName(uint16_t machine) {
  if (machine == kMachineAmd64) return "x64";
  if (machine == kMachineI386) return "x86";
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", machine);
  return text;
}

const NameTable* PackedItems(const ResourceTree& tree) {
  auto items = tree.find(ResourceName(PackedItemType()));
  return items == tree.end() ? nullptr : &items->second;
}
