#pragma once
// An executable read for packing or inspection, and written back. Format errors become
// bad-input failures that name the file.
#include <filesystem>
#include <string>

#include "packer/pe_image.h"
#include "packer/resource_tree.h"

struct CommandContext;

struct LoadedExecutable {
  std::filesystem::path path;
  PeImage image;
  ResourceTree tree;
};

LoadedExecutable LoadExecutable(const std::filesystem::path& path);

// Writes `executable` with `tree` as its resources to `target`, atomically, and returns
// the size written.
size_t SaveExecutable(const LoadedExecutable& executable, const ResourceTree& tree,
                    const std::filesystem::path& target, bool stripSignature, const CommandContext& context);

// "x64", "x86" or the machine number in hex.
std::string MachineName(uint16_t machine);

// The packed items (resource type EXTRSC) by id, each in its first language.
const NameTable* PackedItems(const ResourceTree& tree);
