#pragma once
// The loader workbook (item 1018) as `sheetpack inspect` shows it: the source of each
// of its VBA modules, decompressed, so that an author can read what ships.
#include <string>

#include <nlohmann/json.hpp>

// {"modules": [{"name", "source"}]}, or {"error": reason} for a loader whose modules
// cannot be read (a kit may bring a loader of its own making); null without an item.
nlohmann::ordered_json LoaderToJson(const std::string& storedItem);

std::string LoaderToText(const nlohmann::ordered_json& loader);
