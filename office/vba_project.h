#pragma once
// The VBA project of a workbook (MS-OVBA): the _VBA_PROJECT_CUR storage with the PROJECT
// and PROJECTwm streams, VBA/dir, VBA/_VBA_PROJECT and one stream per module. Written
// without compiled code, so the host compiles the project from its source when it
// opens the workbook.
#include <string>
#include <string_view>
#include <vector>

#include "office/compound_file.h"

// A document module (one bound to the workbook or a sheet) and its whole source,
// attribute lines included, in CRLF lines of code page 1252.
// The storage a workbook holds its VBA project in.
constexpr char kVbaProjectStorage[] = "_VBA_PROJECT_CUR";

struct VbaModule {
  std::string name;
  std::string source;
};

// The storage's entries, named as in a workbook: the caller adds them under
// _VBA_PROJECT_CUR.
std::vector<CfbEntry> WriteVbaProject(const std::vector<VbaModule>& modules);

// The modules a project's dir stream lists, each with the source its stream holds.
// Throws LoaderFormatError when a stream is missing or damaged.
std::vector<VbaModule> ReadVbaModules(const CfbEntry& projectStorage);

// The VBA modules of an .xls file with their sources (attribute lines included).
// Throws LoaderFormatError when the file holds no readable VBA project.
std::vector<VbaModule> ReadWorkbookModules(std::string_view xls);
