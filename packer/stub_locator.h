#pragma once
// Where `sheetpack build` takes the launcher stub from when no --stub is given.
#include <filesystem>
#include <string>

// "sheetpack-stub-x64.exe" or "sheetpack-stub-x86.exe".
std::string StubFileName(const std::string& arch);

// The stub for `arch`, looked for beside an installed sheetpack
// (<prefix>/bin/sheetpack -> <prefix>/share/sheetpack), then in the build trees of the
// Windows presets. Throws PackError (bad input) listing the places looked at.
std::filesystem::path LocateStub(const std::string& arch, const std::filesystem::path& executable);
