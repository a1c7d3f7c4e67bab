#pragma once
struct LauncherState;

// Starts the runtime add-in inside the host: writes the start-up information file and
// the loader workbook, opens the loader (whose open macro loads the add-in), waits a
// moment and removes both files again, whatever the host made of the open. False, with
// nothing opened, when the start-up information file could not be written: an add-in
// without it knows neither the workbook nor the launcher.
bool StartAddInInHost(LauncherState& state);
