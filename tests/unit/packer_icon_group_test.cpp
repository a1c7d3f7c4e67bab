#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/encoding/byte_io.h"
#include "packer/icon_group.h"

namespace {

// An .ico file with one image per entry of `images`; attributes from the image index.
std::string IcoFile(const std::vector<std::string>& images) {
  std::string file;
  AppendU16(file, 0);
  AppendU16(file, 1);
  AppendU16(file, static_cast<uint16_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    file += std::string{static_cast<char>(16 * (i + 1)), static_cast<char>(16 * (i + 1)), 0, 0};
    AppendU16(file, 1);
    AppendU16(file, 32);
    AppendU32(file, static_cast<uint32_t>(images[i].size()));
    AppendU32(file, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::string& image : images) file += image;
  return file;
}

std::string GroupOf(const std::vector<uint16_t>& ids) {
  std::string group;
  AppendU16(group, 0);
  AppendU16(group, 1);
  AppendU16(group, static_cast<uint16_t>(ids.size()));
  for (uint16_t id : ids) {
    group += std::string(8, '\0');
    AppendU32(group, 4);
    AppendU16(group, id);
  }
  return group;
}

const std::string& Bytes(const ResourceTree& tree, uint32_t type, uint32_t name) {
  return tree.at(ResourceName(type)).at(ResourceName(name)).at(kLanguageEnglishUs).bytes;
}

std::vector<uint16_t> IdsIn(const std::string& group) {
  std::vector<uint16_t> ids;
  for (size_t i = 0; i < ReadU16At(group, 4); ++i) ids.push_back(ReadU16At(group, 6 + 14 * i + 12));
  return ids;
}

TEST(PackerIconGroup, ReplacesTheFirstGroupAndOnlyItsImages) {
  ResourceTree tree;
  tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(1)][1033] = {GroupOf({1, 2}), 0};
  tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(7)][1033] = {GroupOf({3}), 0};
  for (uint32_t id : {1u, 2u, 3u}) tree[ResourceName(kResourceTypeIcon)][ResourceName(id)][1033] = {"old", 0};

  ReplaceFirstIconGroup(tree, IcoFile({"first image", "second image", "third"}));

  const std::string& group = Bytes(tree, kResourceTypeGroupIcon, 1);
  const std::vector<uint16_t> ids = IdsIn(group);
  // Ids 1 and 2 became free; 3 still belongs to group 7.
  EXPECT_EQ(ids, (std::vector<uint16_t>{1, 2, 4}));
  EXPECT_EQ(Bytes(tree, kResourceTypeIcon, 1), "first image");
  EXPECT_EQ(Bytes(tree, kResourceTypeIcon, 4), "third");
  EXPECT_EQ(Bytes(tree, kResourceTypeIcon, 3), "old");
  EXPECT_EQ(ReadU32At(group, 6 + 8), std::string("first image").size());
  EXPECT_EQ(group[6 + 14], 32) << "width of the second image";
  EXPECT_EQ(IdsIn(Bytes(tree, kResourceTypeGroupIcon, 7)), (std::vector<uint16_t>{3}));
}

TEST(PackerIconGroup, AddsAGroupWhenThereIsNone) {
  ResourceTree tree;
  ReplaceFirstIconGroup(tree, IcoFile({"image"}));
  EXPECT_EQ(IdsIn(Bytes(tree, kResourceTypeGroupIcon, 1)), (std::vector<uint16_t>{1}));
  EXPECT_EQ(Bytes(tree, kResourceTypeIcon, 1), "image");
}

TEST(PackerIconGroup, RejectsMalformedIcoFiles) {
  std::string outside = IcoFile({"image"});
  StoreU32At(outside, 6 + 12, 0x7FFFFFFF);
  std::string noImages = IcoFile({});
  std::string cursor = IcoFile({"image"});
  StoreU16At(cursor, 2, 2);
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"", "not an .ico"},
      {cursor, "not an .ico"},
      {noImages, "no images"},
      {IcoFile({"image"}).substr(0, 12), "truncated"},
      {outside, "outside the file"},
  };
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(message);
    ResourceTree tree;
    try {
      ReplaceFirstIconGroup(tree, file);
      ADD_FAILURE() << "accepted";
    } catch (const IconFormatError& error) {
      EXPECT_THAT(error.what(), testing::HasSubstr(message));
    }
  }
}

}  // namespace
