#pragma once
// The sweep of workspaces that earlier runs left in the temporary folder: a host killed
// together with its watcher (at log-off or shutdown) leaves its workspace, with the
// workbook in the clear, and nothing else would ever remove it.
#include <windows.h>

#include <string>

// Removes every workspace of this user in `temporaryFolder` that no live process holds:
// a folder named as the launcher names workspaces, owned by this user, no reparse point,
// holding only the files a workspace holds, among them the add-in file, written at least
// kSweepMinimumAge ago; and only when deleting its add-in file succeeds (a live host has
// it loaded, and a loaded DLL cannot be deleted). Nothing else is ever deleted. A saved-state
// run's workspace names its launcher in its start-up information: the work it holds is
// carried into that application's state first (work_recovery_win.h), and a workspace
// whose launcher is not there, or whose work can be kept nowhere, stays.
void SweepEarlierWorkspaces(const std::wstring& temporaryFolder);

// A launch writes the add-in and has the host load it within seconds. A workspace whose
// add-in is younger than this may belong to a launch still on its way to that point,
// whose add-in file is not loaded yet: it is left alone.
constexpr ULONGLONG kSweepMinimumAgeMs = 10 * 60 * 1000;
