#pragma once
// The end of a run, watched from outside the host: a process of the launcher's own
// executable, in cleanup mode, waits for the host's process to end and only then removes
// the workspace. Nothing of it runs inside the host, so no rule that keeps the host from
// starting processes can keep the workspace behind, and a host that is killed or crashes
// ends the wait as surely as one the user closes.
#include <windows.h>

#include <cstdint>

struct LauncherState;

// The host's process, opened (for waiting and for asking its id) while its window is
// known to be alive, so that the handle cannot come to name another process that reused
// the id. `inheritable` for a handle the watcher takes over. Null without a host window,
// or when the process cannot be opened (it runs under another account).
HANDLE OpenHostProcess(HWND hostWindow, bool inheritable);

// Starts the watcher for a launch that succeeded outside saved-state mode, detached from
// the launcher, in the system folder (not in the workspace it removes). It inherits one
// handle of the host's process and no other. False when it could not be started: the
// next launch's sweep then finds the workspace.
bool StartHostWatcher(const LauncherState& state);

// Cleanup mode's wait on the inherited handle `handleValue`, with no time limit and no
// CPU. False, and nothing may be removed, when the value names no process handle of ours.
bool WaitForHostProcess(uint64_t handleValue);
