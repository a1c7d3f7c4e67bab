#pragma once
// The BIFF8 workbook stream (MS-XLS) of an empty workbook with one worksheet, whose
// workbook and sheet carry code names that bind them to VBA document modules, and which
// says that the file holds a VBA project.
#include <string>

struct BiffWorkbookNames {
  std::string workbookCodeName;
  std::string sheetName;
  std::string sheetCodeName;
};

std::string WriteBiffWorkbook(const BiffWorkbookNames& names);
