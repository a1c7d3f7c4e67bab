#include "packer/item_table.h"

#include <map>

std::string ItemName(uint32_t id) {
  // 1210 and 1220 are reserved for the workbook key and the saved-state location.
  static const std::map<uint32_t, const char*> names = {
      {ItemId::kLoaderWorkbook, "loader workbook"},
      {ItemId::kWorkbook, "workbook"},
      {ItemId::kAddIn32, "32-bit add-in"},
      {ItemId::kAddIn64, "64-bit add-in"},
      {ItemId::kTextOverrides, "text overrides"},
      {ItemId::kFunctionNames, "function names"},
      {ItemId::kErrorNames, "error names"},
      {ItemId::kSplash, "splash picture"},
      {ItemId::kAddInFlag1060, "add-in flag"},
      {ItemId::kAddInFlag1070, "add-in flag"},
      {ItemId::kSettings, "settings"},
      {ItemId::kNotice, "notice"},
      {ItemId::kAddInFlag1107, "add-in flag"},
      {ItemId::kAddInData, "add-in data"},
      {1210, "workbook key"},
      {1220, "saved-state location"},
      {ItemId::kUpdatePolicy, "update policy"},
      {ItemId::kAppIdentity, "application identity"},
      {ItemId::kWorkbookDigest, "workbook digest"},
      {ItemId::kRuntimeAnswers, "runtime answers"},
  };
  auto name = names.find(id);
  return name == names.end() ? "unknown" : name->second;
}
