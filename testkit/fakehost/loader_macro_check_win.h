#pragma once
#include <string>

// Reads the VBA project of the loader workbook at `path` as the host's VBA engine would
// before running its open macro, and journals what it found:
//   vba "<module>" declare=<0|1> call=<0|1> load=<none|ansi|wide>   the ThisWorkbook module was read
//   vba error "<reason>"                      the workbook or its project does not read
// How the add-in is loaded by full path before DummyFunc9 is called by name: through a
// LoadLibraryA declaration (VBA hands it the path in the ANSI code page), through
// LoadLibraryW (the path as it is), or not at all.
enum class AddInLoad { kNone, kAnsiPath, kWidePath };

struct LoaderMacro {
  // The module's Workbook_Open calls DummyFunc9 with 1170 and the module declares
  // DummyFunc9 from pelkostub.dll: only then does the stand-in start the add-in.
  bool startsAddIn = false;
  AddInLoad load = AddInLoad::kNone;
};

// The journal line also says load=<none|ansi|wide>.
LoaderMacro ReadLoaderMacro(const std::wstring& path);
