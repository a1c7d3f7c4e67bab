#pragma once
#include <string>

// Reads the VBA project of the loader workbook at `path` as the host's VBA engine would
// before running its open macro, and journals what it found:
//   vba "<module>" declare=<0|1> call=<0|1>   the ThisWorkbook module was read
//   vba error "<reason>"                      the workbook or its project does not read
// True only when the module's Workbook_Open calls DummyFunc9 with 1170 and the module
// declares DummyFunc9 from pelkostub.dll: only then does the stand-in start the add-in.
bool LoaderMacroStartsAddIn(const std::wstring& path);
