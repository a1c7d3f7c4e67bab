#pragma once
// Where the saved state lives, decided once for the launcher that reads it and the
// runtime that writes it. By default in the user's own local application-data folder
// (Sheetpack\app-<identity>.vstg, named after the application's identity, item 1240, so
// that every version of the application finds it wherever it is installed and whatever
// its executable is called; Sheetpack\<name>-<hash of its path>.vstg for an executable
// without one, and the state such a name found is moved to the identity's), which the
// user can write and no other user can read;
// item 1220 "beside" keeps it beside the executable (an application carried on a
// removable drive). A file beside the executable is read only when the current user owns
// it: anyone who can create files in that folder could otherwise hand every user of the
// application a workbook whose macros run without a prompt.
#include <windows.h>

#include <string>

struct SavedStatePlace {
  std::wstring writePath;  // where the state is written; empty when there is nowhere
  std::wstring readPath;   // the state to start from; empty when there is none to trust
};

// `module` carries the packed items (the launcher's own, or the launcher loaded as a
// data file). Creates the per-user folder when it is missing.
SavedStatePlace DecideSavedStatePlace(HMODULE module, const std::wstring& exePath);

// Where a state that could not be written at `statePath` is kept instead: in the user's
// own local application-data folder (Sheetpack\<name>-<hash of the state's path>.recovered.vstg),
// named after the state it belongs to so that the next start finds it. Empty when Windows
// gives no such folder.
std::wstring RecoveryStatePath(const std::wstring& statePath);
