#pragma once
// Saved-state mode: the saved-state file is written each time the user saves the packaged
// workbook, not only when the host ends, so that a host that is killed, crashes or ends
// with the session loses nothing that was saved. A write that fails is told to the user at
// once, with the place the work is kept instead.
struct RuntimeState;

// Whether the application runs in saved-state mode, with settings to save beside the
// workbook.
bool SavesState(const RuntimeState& state);

// Takes note of the workbook file as the launcher wrote it: a later change is a save.
void NoteWorkbookOnDisk(RuntimeState& state);

// From the watch timer: when the workbook file changed on disk since the state was last
// taken, the state is written again.
void SaveStateAfterUserSave(RuntimeState& state);

// Writes the saved-state file from the workbook file as it is on disk now. True when it
// was written; otherwise the work has been kept at the state's recovery place where it
// could be, and the user told where (state_failure_win.h).
bool SaveStateNow(RuntimeState& state);
