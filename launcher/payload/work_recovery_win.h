#pragma once
// The work a run of a saved-state application leaves in its workspace when its host ends
// before the runtime has written the last save into the state: a host killed right after
// a save, or a session ended with every process in it. The workspace's workbook is the
// only copy of that save, so it is carried into the application's state before anything
// removes the workspace.
#include <windows.h>

#include <string>

// `launcher` carries the items of the application at `launcherPath` (its own module, or
// the executable loaded as a data file); `workbookPath` is the workbook its run wrote
// into the workspace. When the application keeps a saved state and that workbook holds
// other bytes than the state (or, with no state, the packaged workbook) and was written
// after the state, it becomes the state, with the earlier state set aside beside it, or
// is kept at the state's recovery place when the state's own cannot be written. False
// only when the work is there and could be kept nowhere: the workspace must then stay.
bool CarryWorkspaceWork(HMODULE launcher, const std::wstring& launcherPath, const std::wstring& workbookPath);
