#pragma once
// A new file that only the current user may open: its DACL is protected (nothing inherited
// from the folder) and grants the user alone full control.
#include <windows.h>

#include <string>

#include "core/win/scoped_win.h"

// Creates the file at `path` for writing, never opening one that is there already (a file
// or a link at that name fails with ERROR_FILE_EXISTS or ERROR_ALREADY_EXISTS). An invalid
// handle, with the error in GetLastError, on failure.
ScopedHandle CreatePrivateNewFile(const std::wstring& path);

// Eight random bytes as sixteen hexadecimal digits, from the system's random source; empty
// when it gives none.
std::wstring UnforeseeableName();
