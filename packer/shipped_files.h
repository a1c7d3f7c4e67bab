#pragma once
// Where sheetpack finds the files shipped with it: the launcher stubs and the runtime's
// add-ins (the built-in add-in kit). An installed sheetpack (<prefix>/bin/sheetpack) looks only in
// <prefix>/share/sheetpack; a sheetpack run from its build tree looks in the build trees
// that make those files, which the build names in a file beside it (kBuildTreeFile).
#include <filesystem>
#include <string>

// The file a build puts beside the sheetpack it builds: lines `stub-x64=FOLDER`,
// `stub-x86=FOLDER` and `runtime=FOLDER`. `cmake --install` copies the program alone,
// so an installed sheetpack has none, and the build's own paths never go into the program.
constexpr char kBuildTreeFile[] = "sheetpack-build-tree.txt";

// "sheetpack-stub-x64.exe" or "sheetpack-stub-x86.exe".
std::string StubFileName(const std::string& arch);

// The shipped file `name` for the sheetpack at `executable` (empty: sheetpack cannot
// tell where it is); `buildTreeKey` names the folder the build makes it in. Throws
// PackError (bad input) naming the place looked at, or saying that sheetpack does not
// know where it is installed.
std::filesystem::path LocateShippedFile(const std::string& name, const std::filesystem::path& executable,
                                        const std::string& buildTreeKey);

// The stub for `arch` ("x64" or "x86").
std::filesystem::path LocateStub(const std::string& arch, const std::filesystem::path& executable);

// The runtime add-in for `arch` ("x64" or "x86"): addin-x64.dll or addin-x86.dll.
std::filesystem::path LocateRuntimeAddIn(const std::string& arch, const std::filesystem::path& executable);
