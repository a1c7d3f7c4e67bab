#pragma once
// The packed items of an application, made from its configuration: every item the
// executable must carry, with placeholders where the application has none.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "packer/pack_config.h"

struct AppItems {
  std::map<uint32_t, std::string> items;  // id -> stored bytes
  std::vector<std::string> warnings;      // one line each, for the user
};

// Reads every file the configuration names. `packTime` is an OLE Automation date.
// Throws PackError (bad input) naming the file at fault.
AppItems BuildAppItems(const PackConfig& config, double packTime);

// The settings record for the configuration (item 1100, plain).
std::string BuildSettingsRecord(const PackConfig& config, double packTime);
