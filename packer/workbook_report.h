#pragma once
// What `sheetpack inspect` says about the packaged workbook's protection.
#include <string>

#include <nlohmann/json.hpp>

// `workbookItem` and `keyItem` as stored (packed); either may be empty.
nlohmann::ordered_json WorkbookProtectionToJson(const std::string& workbookItem, const std::string& keyItem);
std::string WorkbookProtectionToText(const nlohmann::ordered_json& report);
