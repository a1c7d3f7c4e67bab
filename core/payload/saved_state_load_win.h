#pragma once
// The settings an application runs with, as the launcher and the runtime add-in both
// take them: item 1100 of the launcher's executable, replaced by the saved state when
// the settings ask for one and its file is valid.
#include <windows.h>

#include <string>

#include "core/payload/app_settings.h"
#include "core/payload/saved_state_update_win.h"

// Reads item 1100 of `module` (the launcher at `exePath`) into `blob` and parses it over
// `settings`. With OPT_SAVED_STATE and a valid saved-state file where
// DecideSavedStatePlace finds one to trust, that state is put to use as its build calls
// for (UseSavedState, which asks `question` after an update when the author leaves it to
// the user); otherwise `workbook` is unchanged. A saved state that cannot be read leaves
// the item's settings in use. A recovery state newer than the state is read instead
// (StateToRead), and with a `question` carried into the state first. `statePath`, when
// given, gets where the state is to be written (saved-state mode only).
void LoadSettingsRecord(HMODULE module, const std::wstring& exePath, std::string& blob, AppSettings& settings,
                        std::string& workbook, std::wstring* statePath = nullptr,
                        const UpdateQuestion* question = nullptr);
