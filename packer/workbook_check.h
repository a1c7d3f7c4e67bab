#pragma once
// The workbook checked against its format by its contents, so that a picture, a text
// file or a workbook of another format under a workbook's name is refused when it is
// packed rather than failing on the user's machine: an OOXML package (zip) whose main
// part has the content type of the file's extension, with a VBA project where the
// format has one, or a compound file with a Workbook stream for .xls.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "office/byte_source.h"

// What a file is, by its contents.
struct WorkbookContents {
  std::string format;       // ".xlsm", ".xlsb", ".xls", another OOXML kind (".xlsx", ".docx"), or empty
  std::string description;  // "a macro-free workbook (.xlsx)", or why it is no workbook
  bool hasVbaProject = false;
  bool encrypted = false;   // an encrypted OOXML package, whose kind cannot be seen
};

WorkbookContents IdentifyWorkbook(const ByteSource& contents);

// The workbook format code (52 .xlsm, 50 .xlsb, -4143 .xls) of the file `name` with
// these contents. A name with a workbook extension must match the contents; any other
// name takes its format from the contents when `formatFromContents` is set. Warnings
// are appended to `warnings`. Throws PackError (bad input) naming the file.
int32_t CheckWorkbook(const std::string& name, const ByteSource& contents, bool formatFromContents,
                      std::vector<std::string>& warnings);
