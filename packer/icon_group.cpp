// An .ico file is a directory of 16-byte entries, each pointing at its image by file
// offset. In resources each image is an icon resource of its own, and the group
// resource holds 14-byte entries naming the images by resource id instead.
#include "packer/icon_group.h"

#include <set>
#include <vector>

#include "core/encoding/byte_io.h"

namespace {

constexpr size_t kDirectoryHeaderSize = 6;
constexpr size_t kFileEntrySize = 16;
constexpr size_t kGroupEntrySize = 14;

struct IconImage {
  std::string_view attributes;  // width, height, colours, reserved, planes, bit count
  std::string_view bytes;
};

std::vector<IconImage> ReadIcoFile(std::string_view file) {
  ByteReader reader(file);
  const uint16_t reserved = reader.U16();
  const uint16_t type = reader.U16();
  const uint16_t count = reader.U16();
  if (file.size() < kDirectoryHeaderSize || reserved != 0 || type != 1) {
    throw IconFormatError("not an .ico file");
  }
  if (count == 0) throw IconFormatError("the .ico file holds no images");
  if (kDirectoryHeaderSize + size_t{count} * kFileEntrySize > file.size()) {
    throw IconFormatError("truncated .ico directory");
  }
  std::vector<IconImage> images;
  // Entries that share their image bytes would multiply the file when copied out.
  uint64_t imageBytes = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kDirectoryHeaderSize + i * kFileEntrySize;
    const uint32_t size = ReadU32At(file, entry + 8);
    const uint32_t offset = ReadU32At(file, entry + 12);
    if (size == 0 || uint64_t{offset} + size > file.size()) {
      throw IconFormatError("image " + std::to_string(i + 1) + " of the .ico file lies outside the file");
    }
    imageBytes += size;
    if (imageBytes > file.size()) throw IconFormatError("the images of the .ico file overlap");
    images.push_back({file.substr(entry, 8), file.substr(offset, size)});
  }
  return images;
}

// Icon ids the old group used, read from its entries (a damaged group yields fewer).
std::vector<uint16_t> GroupIconIds(std::string_view group) {
  std::vector<uint16_t> ids;
  const size_t count = ReadU16At(group, 4);
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = kDirectoryHeaderSize + i * kGroupEntrySize;
    if (entry + kGroupEntrySize > group.size()) break;
    ids.push_back(ReadU16At(group, entry + 12));
  }
  return ids;
}

std::set<uint32_t> UsedIconIds(const ResourceTree& tree) {
  std::set<uint32_t> used;
  auto icons = tree.find(ResourceName(kResourceTypeIcon));
  if (icons == tree.end()) return used;
  for (const auto& [name, languages] : icons->second) {
    if (!name.IsNamed()) used.insert(name.Id());
  }
  return used;
}

}  // namespace

void ReplaceFirstIconGroup(ResourceTree& tree, std::string_view icoFile) {
  const std::vector<IconImage> images = ReadIcoFile(icoFile);

  ResourceName groupName(1);
  uint32_t language = kLanguageEnglishUs;
  NameTable& groups = tree[ResourceName(kResourceTypeGroupIcon)];
  if (!groups.empty() && !groups.begin()->second.empty()) {
    groupName = groups.begin()->first;
    const auto& [oldLanguage, oldGroup] = *groups.begin()->second.begin();
    language = oldLanguage;
    for (uint16_t id : GroupIconIds(oldGroup.bytes)) {
      RemoveResource(tree, ResourceName(kResourceTypeIcon), ResourceName(id), language);
    }
  }

  std::set<uint32_t> used = UsedIconIds(tree);
  std::string group;
  AppendU16(group, 0);
  AppendU16(group, 1);
  AppendU16(group, static_cast<uint16_t>(images.size()));
  uint32_t nextId = 1;
  for (const IconImage& image : images) {
    while (used.count(nextId)) ++nextId;
    if (nextId > 0xFFFF) throw IconFormatError("no free icon ids are left");
    used.insert(nextId);
    tree[ResourceName(kResourceTypeIcon)][ResourceName(nextId)][language] = {std::string(image.bytes), 0};
    group += image.attributes;
    AppendU32(group, static_cast<uint32_t>(image.bytes.size()));
    AppendU16(group, static_cast<uint16_t>(nextId));
  }
  tree[ResourceName(kResourceTypeGroupIcon)][groupName][language] = {group, 0};
}
