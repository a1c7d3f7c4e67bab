#include "packer/put_item.h"

#include "core/encoding/byte_io.h"
#include "core/payload/app_settings.h"
#include "core/payload/item_ids.h"
#include "core/payload/packed_item.h"
#include "packer/file_io.h"
#include "packer/item_checks.h"
#include "packer/pack_error.h"
#include "packer/pe_image.h"
#include "packer/workbook_check.h"

namespace {

constexpr size_t kWorkbookFormatOffset = 84;
constexpr size_t kFormatVersionOffset = 92;
constexpr uint32_t kCurrentLayoutFrom = 0x02040000;

// A record whose 104-byte header is taken as it stands, so its format field is at 84.
bool HasCurrentLayout(std::string_view record) {
  if (record.size() < kCurrentHeaderSize || ReadU16At(record, 0) != kCurrentHeaderSize) return false;
  const uint32_t version = ReadU32At(record, kFormatVersionOffset);
  return version == 0 || version >= kCurrentLayoutFrom;
}

// The workbook may come with its marker, or as a container, as `extract` gives it.
int32_t CheckWorkbookItem(const std::string& source, const std::string& content, std::vector<std::string>& warnings) {
  std::string workbook = content;
  InflatePackedItem(workbook);
  if (HasWorkbookMarker(workbook)) workbook.erase(0, 4);
  if (workbook.empty()) throw BadInput(source, "holds the workbook marker and no workbook");
  return CheckWorkbook(source, MemorySource(workbook), true, warnings);
}

}  // namespace

std::optional<int32_t> CheckPutItem(uint32_t id, const std::string& source, const std::string& content,
                                    std::vector<std::string>& warnings) {
  switch (id) {
    case ItemId::kWorkbook:
      return CheckWorkbookItem(source, content, warnings);
    case ItemId::kSplash:
      if (content != kPlaceholder) CheckSplashPicture(source, content);
      break;
    case ItemId::kSettings:
      CheckSettingsRecord(source, content);
      break;
    case ItemId::kNotice:
      if (content != kPlaceholder) CheckNotice(source, content, LowerExtension(PathFromUtf8(source)) == ".rtf", warnings);
      break;
    case ItemId::kTextOverrides:
      CheckTextOverrideTable(source, content);
      break;
    case ItemId::kAddIn32:
    case ItemId::kAddIn64: {
      std::string dll = content;
      InflatePackedItem(dll);
      CheckAddInDll(source, dll, id == ItemId::kAddIn32 ? kMachineI386 : kMachineAmd64, warnings);
      break;
    }
    case ItemId::kUpdatePolicy:
      CheckUpdatePolicy(source, content);
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::optional<int32_t> SetWorkbookFormat(ResourceTree& tree, const std::string& executable, int32_t format) {
  LanguageTable* languages = nullptr;
  if (auto type = tree.find(ResourceName(PackedItemType())); type != tree.end()) {
    if (auto item = type->second.find(ResourceName(ItemId::kSettings)); item != type->second.end() && !item->second.empty()) {
      languages = &item->second;
    }
  }
  if (!languages) throw BadInput(executable, "has no settings record (item 1100) to give the workbook's format");
  std::optional<int32_t> changedFrom;
  for (auto& [language, data] : *languages) {
    const bool packed = HasContainerMagic(data.bytes);
    std::string record = data.bytes;
    InflatePackedItem(record);
    if (!HasCurrentLayout(record)) {
      throw BadInput(executable, "its settings record (item 1100) has an old layout, whose workbook format cannot be "
                                 "set; build the application anew");
    }
    const int32_t old = static_cast<int32_t>(ReadU32At(record, kWorkbookFormatOffset));
    if (old == format) continue;
    StoreU32At(record, kWorkbookFormatOffset, static_cast<uint32_t>(format));
    data.bytes = packed ? PackItem(record) : record;
    if (!changedFrom) changedFrom = old;
  }
  return changedFrom;
}
