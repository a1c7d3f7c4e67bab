#pragma once
// The end of the application's life: the host's last main window is being destroyed, the
// workbook is closed and the host is on its way out. Outside saved-state mode the
// launcher's executable is started in cleanup mode for the workspace files; in
// saved-state mode a save the watch has not seen yet is written beside the launcher and
// the resident launcher is signalled, which then removes the files itself.
struct RuntimeState;

// Runs once; later calls do nothing.
void EndApplicationLife(RuntimeState& state);
