#pragma once
// What `sheetpack inspect` says about the packaged workbook's protection.
#include <string>

#include <nlohmann/json.hpp>

// `workbookItem` and `keyItem` as stored (packed); either may be empty.
nlohmann::ordered_json WorkbookProtectionToJson(const std::string& workbookItem, const std::string& keyItem);
std::string WorkbookProtectionToText(const nlohmann::ordered_json& report);

// The application's identity (item 1240 as stored; empty when there is none): its
// fingerprint and the name of its users' per-user saved state, or null.
nlohmann::ordered_json ApplicationToJson(const std::string& identityItem);
std::string ApplicationToText(const nlohmann::ordered_json& report);
