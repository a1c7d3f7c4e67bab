#pragma once
struct LauncherState;

// Reads the settings record, the text overrides and the icons, refreshes the macros
// and takes the single-instance guard when the settings ask for it.
void LoadSettings(LauncherState& state);
