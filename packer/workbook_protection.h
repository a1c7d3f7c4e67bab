#pragma once
// What `protectWorkbook` does to the packaged workbook: a package-format workbook is
// encrypted with the application's password (kept in the key file beside the
// configuration) and the masked password goes into the key item; an .xls is packed as it
// is, with a warning; a workbook that is encrypted already is refused.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "packer/pack_config.h"

struct ProtectedWorkbook {
  std::string workbook;              // the bytes to pack as the workbook
  std::optional<std::string> keyItem;  // the masked password, when the workbook is encrypted
};

// `password` is the application's (from its key); unused when the workbook stays plain.
// Throws PackError (bad input) for an encrypted workbook.
ProtectedWorkbook ProtectWorkbook(const PackConfig& config, const std::string& password, std::string workbook,
                                  std::vector<std::string>& warnings);
