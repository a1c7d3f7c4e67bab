#pragma once
// Where the launcher's libraries come from: the system folder, never the folder the
// packaged application was started from (usually the user's Downloads folder, where
// anybody may have left a DLL named like a Windows component) nor the current folder.
#include <windows.h>

// Makes the system folder the only place the process's later library loads search:
// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32), which also governs the
// libraries that Windows components load by name on the launcher's behalf. Called
// first thing in the process, from the launcher's own entry point, before any static
// initialiser of the C and C++ runtimes can load anything. On a system without that
// function (Windows 7 before KB2533623) it at least takes the current folder out of
// the search. Idempotent.
void RestrictLibrarySearch();

// Loads a library of the system folder by its file name, never a copy found elsewhere;
// null when the system folder has no such library.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Loads ahead of time, from the system folder, the libraries that Windows components
// reach by a path of their own that the default directories do not govern: the imaging
// codecs (windowscodecs.dll, and with it the property system), which GDI+ delay-loads
// and the OLE picture of the splash takes through COM. A later load by name then finds
// the system folder's copy already loaded. Called before GDI+ starts.
void LoadIndirectSystemLibraries();
