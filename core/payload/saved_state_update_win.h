#pragma once
// A valid saved state, once read, put to the use its build calls for: the same build
// goes on from it; after an update the executable's own settings stay in force and the
// saved workbook is kept or set aside (saved_state_update.h).
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "core/payload/app_settings.h"
#include "core/payload/saved_state.h"

// What the user is asked after an update when the author leaves it to them.
struct UpdateQuestionFacts {
  const AppSettings& own;    // the new version's settings
  const AppSettings& saved;  // those the saved state was written with
  std::wstring setAsidePath; // where the saved state goes if the user takes the new workbook
};

// True keeps the saved workbook, false takes the new version's; nullopt when nobody can
// be asked (no box may be shown).
using UpdateQuestion = std::function<std::optional<bool>(const UpdateQuestionFacts&)>;

// `blob` and `settings` hold item 1100 of `module`, parsed. The same build takes the
// state's settings and workbook, as before. Another build keeps item 1100's settings;
// with a `question` (the launcher, which also writes the workbook) the workbook is
// chosen by the update policy of item 1230, and a state not used is renamed to its
// set-aside name. Without one (the runtime add-in, which needs the settings alone)
// nothing is asked and no file is touched.
void UseSavedState(HMODULE module, const std::wstring& statePath, SavedState saved, std::string& blob,
                   AppSettings& settings, std::string& workbook, const UpdateQuestion* question);

// The first free set-aside name (SetAsidePath) for the state at `statePath` written by
// `savedVersion`, so that an earlier set-aside state is never replaced.
std::wstring FreeSetAsidePath(const std::wstring& statePath, uint32_t savedVersion);
