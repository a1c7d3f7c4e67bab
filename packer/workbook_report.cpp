#include "packer/workbook_report.h"

#include "core/encoding/utf.h"
#include "core/payload/app_identity.h"
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

nlohmann::ordered_json ApplicationToJson(const std::string& identityItem) {
  std::string item = identityItem;
  InflatePackedItem(item);
  const std::optional<std::string> identity = ReadAppIdentityItem(item);
  if (!identity) return nullptr;
  return {{"fingerprint", AppFingerprint(*identity)}, {"savedStateName", Utf16ToUtf8(IdentitySavedStateName(*identity))}};
}

std::string ApplicationToText(const nlohmann::ordered_json& report) {
  if (report.is_null()) return "application (item 1240): none; saved states are named after the executable's path\n";
  return "application (item 1240): " + report["fingerprint"].get<std::string>() + ", per-user saved state " +
         report["savedStateName"].get<std::string>() + "\n";
}
