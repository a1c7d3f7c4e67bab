#pragma once
// The packed items of an application, made from its configuration: every item the
// executable must carry, with placeholders where the application has none.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "packer/key_file.h"
#include "packer/pack_config.h"

struct AppItems {
  std::map<uint32_t, std::string> items;  // id -> stored bytes
  std::vector<std::string> warnings;      // one line each, for the user
};

// Where the add-ins come from: an author's kit folder, whose optional files (loader,
// name tables, add-in data) are packed as well, or the runtime shipped with sheetpack,
// which needs none of them.
struct AddInKit {
  std::filesystem::path addIn32;
  std::filesystem::path addIn64;
  std::optional<std::filesystem::path> folder;  // the author's kit; none for the built-in one
};

// The kit folder an author names with "addinKit".
AddInKit AuthorKit(const std::filesystem::path& folder);

// How the items are made beyond what the configuration says.
struct PackOptions {
  uint64_t itemBudget = UINT64_MAX;     // the most the workbook's item may take
  std::ostream* progress = nullptr;     // a terminal for the progress line, or none
  const AppKey* key = nullptr;          // the application's key; required when NeedsAppKey
};

// Reads every file the configuration and the kit name. `packTime` is an OLE Automation
// date. Throws PackError (bad input) naming the file at fault.
AppItems BuildAppItems(const PackConfig& config, const AddInKit& kit, double packTime,
                       const PackOptions& options = {});

// The settings record for the configuration (item 1100, plain).
std::string BuildSettingsRecord(const PackConfig& config, double packTime);

// Item 1250 for a workbook item as stored: packing and encryption are reproducible, so the
// same workbook with the same key gives the same digest, and an update that keeps it asks
// the user nothing.
std::string WorkbookDigest(const std::string& storedWorkbookItem);
