#include "packer/workbook_report.h"

#include "core/payload/packed_item.h"
#include "office/agile_encryption.h"
#include "office/encrypted_package_file.h"
#include "office/encryption_info.h"
#include "office/loader_format_error.h"

nlohmann::ordered_json WorkbookProtectionToJson(const std::string& workbookItem, const std::string& keyItem) {
  std::string workbook = workbookItem;
  InflatePackedItem(workbook);
  if (HasWorkbookMarker(workbook)) workbook.erase(0, 4);
  nlohmann::ordered_json report = {{"encrypted", false}, {"keyItem", !keyItem.empty()}};
  if (!IsEncryptedPackage(workbook)) return report;
  report["encrypted"] = true;
  try {
    const AgileEncryptionInfo info = ReadEncryptionInfo(ReadEncryptedPackageFile(workbook).encryptionInfo);
    report["encryption"] = "agile (ECMA-376): AES-256-CBC, SHA-512, password key encryptor";
    report["spinCount"] = info.spinCount;
  } catch (const LoaderFormatError& error) {
    report["encryption"] = std::string("unreadable: ") + error.what();
  }
  return report;
}

std::string WorkbookProtectionToText(const nlohmann::ordered_json& report) {
  std::string text = "workbook (item 1020): ";
  if (!report["encrypted"].get<bool>()) {
    text += "not encrypted";
  } else {
    text += "encrypted, " + report["encryption"].get<std::string>();
    if (report.contains("spinCount")) text += ", spin count " + report["spinCount"].dump();
  }
  text += report["keyItem"].get<bool>() ? "; key item 1210 present\n" : "; no key item 1210\n";
  return text;
}
