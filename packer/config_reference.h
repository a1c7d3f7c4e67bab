#pragma once
// The configuration reference that `sheetpack help config` prints: every key the
// configuration parser accepts, every option bit and every override number, each listed
// from the table the parser or the launcher reads by, so the reference cannot leave one out.
#include <cstdint>
#include <string>
#include <vector>

struct ConfigKeyHelp {
  const char* key;
  const char* value;    // what the value is: "text", "file name, JPEG", ...
  const char* meaning;  // one line
};

// The descriptions, by top-level key and by option ("options.NAME").
const std::vector<ConfigKeyHelp>& ConfigKeyDescriptions();

struct OverrideHelp {
  int32_t key;
  int builtIn;       // the built-in text's id in the launcher's main table; -1: none
  const char* text;  // which built-in text it replaces
};

// The override numbers the launcher reads, with the texts they replace.
const std::vector<OverrideHelp>& OverrideNumbers();

// The whole reference as `help config` prints it.
std::string ConfigReference();
