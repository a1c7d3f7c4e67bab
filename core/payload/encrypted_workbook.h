#pragma once
// Whether a workbook file is encrypted with a password, as the host saves a workbook that
// has one: a compound file (MS-CFB) with an "EncryptionInfo" stream beside the encrypted
// package (MS-OFFCRYPTO). A package-format workbook saved in the clear is a zip file, and
// an .xls is a compound file without that stream. Only the directory is read, through the
// file's allocation table, however large the encrypted package is.
#include <string_view>

bool IsPasswordEncryptedWorkbook(std::string_view file);
