#pragma once
// The saved-state file on disk: the launcher reads it at start, the runtime add-in writes
// it each time the user saves the workbook. The format is saved_state.h's.
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
// file or the new one, never a part. The temporary file has a name nobody can foresee and
// is created new, never opened when something is there already (a file or a link planted
// at that name is not written through), readable and writable by the current user alone;
// it is flushed before it replaces the old file. A file held open by another process (a
// virus scanner, a sync client) is waited for a few seconds. ERROR_SUCCESS, or the Windows
// error of the step that failed, with the old file unchanged and no temporary file left.
unsigned long ReplaceFileSafely(const std::wstring& path, const std::string& bytes);

// The system's text for a Windows error, without its final line break; the number when
// the system has none.
std::wstring WindowsErrorText(unsigned long error);
