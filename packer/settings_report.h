#pragma once
// The decoded settings record as `sheetpack inspect` shows it: a JSON object with
// every named field, or the same fields as lines of text.
#include <string>

#include <nlohmann/json.hpp>

struct AppSettings;

nlohmann::ordered_json SettingsToJson(const AppSettings& settings);

// "  key: value" lines, numbers that are bit sets or magic values also in hex.
std::string SettingsToText(const AppSettings& settings);
