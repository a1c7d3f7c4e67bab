#pragma once
// The saved-state file on disk: the launcher reads it at start, the runtime add-in writes
// it at the end of the application's life. The format is saved_state.h's.
#include <cstdint>
#include <optional>
#include <string>

#include "core/payload/saved_state.h"

// True when `path` names a file whose header and size make a valid saved state for
// records with the settings magic `settingsMagic`.
bool IsValidSavedState(const std::wstring& path, uint32_t settingsMagic);

// The sections of the file at `path` when it is valid; nullopt otherwise. Shows nothing.
std::optional<SavedState> ReadSavedStateFile(const std::wstring& path, uint32_t settingsMagic);

// Replaces the file at `path` by `bytes` as one step: they are written to a temporary file
// in the same folder, which then takes the place of the old file. A reader sees the old
// file or the new one, never a part. False (and the old file unchanged) on any failure.
bool ReplaceFileAtomically(const std::wstring& path, const std::string& bytes);
