#pragma once
// The question a saved-state application asks after an update when its author leaves
// the choice to the user: go on with the saved workbook, or start from the new
// version's (the saved one is then set aside, not deleted).
#include <optional>

#include "core/payload/saved_state_update_win.h"

// A Yes/No box in the launcher's texts (override key 42, built-in text 40), with the
// macros SAVEDVER (the saved state's version) and SAVEDSTATE (where it would be set
// aside). True keeps the saved workbook. Nullopt in a test run or a silent start, where
// no box may be shown.
std::optional<bool> AskAboutSavedWorkbook(const UpdateQuestionFacts& facts);
