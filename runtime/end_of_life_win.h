#pragma once
// The end of the application's life: the host's last main window is being destroyed, the
// workbook is closed and the host is on its way out; or the session ends (WM_ENDSESSION),
// the workbook may still be open and the process is ended without its windows going. Outside saved-state mode nothing is
// done (the launcher's watcher removes the workspace once the host's process ends); in
// saved-state mode a save the watch has not seen yet is written and the resident launcher
// is signalled, which removes the files once the host's process has ended.
struct RuntimeState;

// Runs once; later calls do nothing.
void EndApplicationLife(RuntimeState& state);
