#pragma once
// The end of the application's life: the host's main window is being destroyed, the
// workbook is closed and the host is on its way out. Outside saved-state mode nothing is
// done (the launcher's watcher removes the workspace once the host's process ends); in
// saved-state mode the saved state is written beside the launcher and the resident
// launcher is signalled, which then removes the files itself.
struct RuntimeState;

// Runs once; later calls do nothing.
void EndApplicationLife(RuntimeState& state);
