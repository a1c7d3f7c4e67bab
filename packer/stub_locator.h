#pragma once
// Where `sheetpack build` takes the launcher stub from when no --stub is given.
#include <filesystem>
#include <string>
#include <vector>

// "sheetpack-stub-x64.exe" or "sheetpack-stub-x86.exe".
std::string StubFileName(const std::string& arch);

// The places looked at, in order: beside an installed sheetpack
// (<prefix>/bin/sheetpack -> <prefix>/share/sheetpack), then the build trees.
std::vector<std::filesystem::path> StubCandidates(const std::string& arch,
                                                  const std::filesystem::path& executable);

// The first candidate that exists; throws PackError (bad input) listing them all.
std::filesystem::path LocateStub(const std::string& arch, const std::filesystem::path& executable);
