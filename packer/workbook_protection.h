#pragma once
// What `protectWorkbook` does to the packaged workbook: a package-format workbook is
// encrypted with the application's password (kept in the key file beside the
// configuration) and the masked password goes into the key item; an .xls is packed as it
// is, with a warning; a workbook that is encrypted already is refused.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packer/pack_config.h"

struct ProtectedWorkbook {
  std::string workbook;              // the bytes to pack as the workbook
  std::optional<std::string> keyItem;  // the masked password, when the workbook is encrypted
};

// Throws PackError (bad input) for an encrypted workbook or an unusable key file.
ProtectedWorkbook ProtectWorkbook(const PackConfig& config, std::string workbook, std::vector<std::string>& warnings);

// The application's password: read from the key file, or made from 160 bits of the
// system's random generator and written there when the file does not exist yet.
std::string LoadOrCreateWorkbookPassword(const std::filesystem::path& keyFile, std::vector<std::string>& warnings);
