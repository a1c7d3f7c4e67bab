#pragma once
// The workspace folder of one run and the files written into it. Each function
// records the path it wrote in the launcher state, for the add-in start and for
// the cleanup that removes them again.
#include <string>

struct LauncherState;

// Creates a new folder, readable and writable by the current user only, and makes it
// the workspace folder: under the temporary folder or, when that does not exist or does
// not take it, under the next place of GetWorkspaceFolder's list. False when no folder
// could be created anywhere (the workspace folder then stays empty).
bool CreateWorkspaceFolder(LauncherState& state);

// The workspace folder; when none has been created, the first usable of: the
// temporary folder, the system's TEMP setting, %TEMP%, %TMP%, the launcher's folder.
std::wstring GetWorkspaceFolder(LauncherState& state);

// Writes the add-in for the host's bitness into a new workspace folder.
bool WriteAddInFile(LauncherState& state, bool hostIs64Bit);
// Writes the workbook (from the saved state or the executable) named after the launcher.
bool WriteWorkbookFile(LauncherState& state);
// Writes the loader workbook under a random name.
bool WriteLoaderWorkbook(LauncherState& state);

// Tries this many names before giving up on a workspace folder.
constexpr int kWorkspaceFolderAttempts = 64;
