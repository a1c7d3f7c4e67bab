#pragma once
// The configuration `sheetpack build` reads: a JSON object naming the application's
// files and settings. Unknown keys and values of the wrong type are refused, so a typo
// never goes unnoticed. Relative paths count from the configuration file's folder.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/payload/saved_state.h"
#include "core/payload/saved_state_update.h"

struct VersionInfoConfig {
  std::string productName;
  std::string fileDescription;
  std::string company;
  std::string copyright;
};

struct PackConfig {
  std::string title;
  std::string info;
  std::array<uint8_t, 3> version{};  // major, minor, patch
  std::string authorContact;
  std::string password;
  uint32_t optionFlags = 0;
  std::filesystem::path workbook;
  int32_t workbookFormat = 0;
  std::optional<std::filesystem::path> splash;
  std::optional<std::filesystem::path> notice;
  std::map<int32_t, std::string> texts;  // override key -> UTF-8 text
  std::optional<std::filesystem::path> icon;
  std::optional<std::filesystem::path> addinKit;  // none: the runtime's add-ins shipped with sheetpack
  std::string arch = "x64";
  bool archGiven = false;
  std::optional<VersionInfoConfig> versionInfo;
  SavedStateLocation savedStateLocation = SavedStateLocation::kUser;
  bool protectWorkbook = true;
  std::filesystem::path keyFile;  // the application's workbook password and identity, beside the configuration
  std::optional<std::string> keyFingerprint;  // the key the application has: another or none is refused
  std::optional<UpdatePolicy> onUpdate;  // none: the default, which asks the user
};

// Throws PackError (bad input) naming `file` and the key at fault.
PackConfig ParsePackConfig(std::string_view json, const std::filesystem::path& file);
PackConfig LoadPackConfig(const std::filesystem::path& file);

// The keys ParsePackConfig accepts at the top level, and those of "options" with their bits:
// the tables the parser itself reads by, for the configuration reference.
std::vector<std::string> ConfigKeys();
const std::map<std::string, uint32_t>& ConfigOptionBits();

// The key file of a configuration file: its name with the extension .sheetpack-key.
std::filesystem::path KeyFileFor(const std::filesystem::path& configFile);

// The workbook format code for a file name's extension: .xlsm 52, .xlsb 50, .xls -4143;
// nullopt for anything else.
std::optional<int32_t> WorkbookFormatFor(const std::filesystem::path& workbook);
