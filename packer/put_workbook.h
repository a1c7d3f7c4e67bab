#pragma once
// The workbook `put` stores into an application whose workbook is encrypted (it carries
// the workbook key, item 1210). The runtime opens the workbook with the application's own
// password, so a plain workbook stored there would undo the protection and one encrypted
// with another password would not open at all: the workbook is encrypted with the
// application's password, or taken as it is when it opens with that password already
// (as `extract 1020` gives it), and refused otherwise.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "packer/resource_tree.h"

// The application's password, unmasked from its key item; nullopt when it has none.
// Throws PackError (bad input) for a key item that is no masked password.
std::optional<std::string> ApplicationPassword(const ResourceTree& tree, const std::string& executable);

struct PutWorkbook {
  std::string encrypted;  // the encrypted workbook, without the marker
  int32_t format = 0;     // the workbook format code of its contents
};

// `content` is the file `source`, with or without the marker, or a container of it.
// Warnings about its contents are appended. Throws PackError (bad input) naming the file
// for a workbook that is encrypted with another password, an .xls (whose format has only
// the weak RC4 encryption) and any workbook `build` would refuse.
PutWorkbook EncryptPutWorkbook(const std::string& source, const std::string& content, const std::string& password,
                               std::vector<std::string>& warnings);
