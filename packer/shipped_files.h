#pragma once
// Where sheetpack finds the files shipped with it: the launcher stubs and the runtime's
// add-ins (the built-in add-in kit). An installed sheetpack (<prefix>/bin/sheetpack) looks only in
// <prefix>/share/sheetpack; a sheetpack run from its build tree looks in the build trees
// that make those files.
#include <filesystem>
#include <string>

// "sheetpack-stub-x64.exe" or "sheetpack-stub-x86.exe".
std::string StubFileName(const std::string& arch);

// The shipped file `name` for the sheetpack at `executable`; `buildTreeFolder` is where
// the build makes it. Throws PackError (bad input) naming the place looked at.
std::filesystem::path LocateShippedFile(const std::string& name, const std::filesystem::path& executable,
                                        const std::filesystem::path& buildTreeFolder);

// The stub for `arch` ("x64" or "x86").
std::filesystem::path LocateStub(const std::string& arch, const std::filesystem::path& executable);

// The runtime add-in for `arch` ("x64" or "x86"): addin-x64.dll or addin-x86.dll.
std::filesystem::path LocateRuntimeAddIn(const std::string& arch, const std::filesystem::path& executable);
