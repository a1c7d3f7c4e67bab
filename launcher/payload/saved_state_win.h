#pragma once
#include <cstdint>
#include <string>

struct LauncherState;

// True when `path` names a file whose header and size make a valid saved state for
// records with the settings magic `settingsMagic`.
bool IsValidSavedState(const std::wstring& path, uint32_t settingsMagic);

// When the saved-state file beside the launcher is valid, its settings replace the
// executable's (parsed over them) and its workbook replaces the workbook bytes.
// Otherwise nothing changes. Shows nothing either way.
void ReadSavedState(LauncherState& state);
