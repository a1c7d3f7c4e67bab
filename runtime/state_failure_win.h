#pragma once
// A saved state that cannot be written is never lost in silence, and never handed to the
// user as a file no one can open: the workbook is encrypted with the application's key,
// which the user never sees, so a copy of it (or one saved with File, Save As, which keeps
// the password) opens nowhere else. The work is kept instead where the application itself
// reads it back: the state's recovery place (saved_state_carry_win.h), which the next
// start continues from and carries into the state.
#include <string>

struct RuntimeState;

// Tells the user, in a box owned by a host window, that the state could not be written to
// `file` (Windows' text for `error`) and where the work is now: `stateBytes`, the state
// that was to be written, is kept at the recovery place and the box names it; when even
// that fails, or there are no bytes (the workbook could not be read), the box names the
// workbook in the workspace, which the launcher then keeps for a later start.
void TellStateNotWritten(const RuntimeState& state, const std::wstring& file, unsigned long error,
                         const std::string& stateBytes);
