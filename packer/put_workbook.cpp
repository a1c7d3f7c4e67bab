#include "packer/put_workbook.h"

#include "core/encoding/utf.h"
#include "core/payload/item_ids.h"
#include "core/payload/packed_item.h"
#include "core/payload/workbook_key.h"
#include "office/agile_encryption.h"
#include "office/loader_format_error.h"
#include "packer/file_io.h"
#include "packer/pack_config.h"
#include "packer/pack_error.h"
#include "packer/workbook_check.h"

std::optional<std::string> ApplicationPassword(const ResourceTree& tree, const std::string& executable) {
  auto type = tree.find(ResourceName(PackedItemType()));
  if (type == tree.end()) return std::nullopt;
  auto item = type->second.find(ResourceName(ItemId::kWorkbookKey));
  if (item == type->second.end() || item->second.empty()) return std::nullopt;
  std::string masked = item->second.begin()->second.bytes;
  InflatePackedItem(masked);
  std::optional<std::string> password = UnmaskWorkbookKey(masked);
  if (!password) throw BadInput(executable, "its workbook key (item 1210) is damaged; build the application anew");
  return password;
}

PutWorkbook EncryptPutWorkbook(const std::string& source, const std::string& content, const std::string& password,
                               std::vector<std::string>& warnings) {
  std::string workbook = content;
  InflatePackedItem(workbook);
  if (HasWorkbookMarker(workbook)) workbook.erase(0, 4);
  if (workbook.empty()) throw BadInput(source, "holds the workbook marker and no workbook");
  const std::u16string key = Utf8ToUtf16(password);
  if (IsEncryptedPackage(workbook)) {
    // Checked by its decrypted contents, which Excel will see.
    std::string plain;
    try {
      plain = DecryptWorkbookPackage(workbook, key);
    } catch (const WrongPassword&) {
      throw BadInput(source, "is encrypted with another password than the application's, so the application could "
                             "not open it; remove its password in the spreadsheet program and put it again");
    } catch (const LoaderFormatError& error) {
      throw BadInput(source, std::string("is an encrypted workbook that cannot be read: ") + error.what());
    }
    return {std::move(workbook), CheckWorkbook(source, MemorySource(plain), true, warnings)};
  }
  const int32_t format = CheckWorkbook(source, MemorySource(workbook), true, warnings);
  if (format == *WorkbookFormatFor(PathFromUtf8("workbook.xls"))) {
    throw BadInput(source, "is an .xls workbook, which the application's encryption cannot protect (its format has "
                           "only the weak RC4 encryption); save it as .xlsm or .xlsb, or build the application with "
                           "\"protectWorkbook\": false");
  }
  try {
    const EncryptionSeeds seeds = EncryptionSeedsFor(password, workbook);
    return {EncryptWorkbookPackage(std::move(workbook), key, seeds), format};
  } catch (const LoaderFormatError& error) {
    throw BadInput(source, std::string("cannot be encrypted: ") + error.what());
  }
}
