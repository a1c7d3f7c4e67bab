#pragma once
// Saved-state mode: the saved-state file is written each time the user saves the packaged
// workbook, not only when the host ends, so that a host that is killed, crashes or ends
// with the session loses nothing that was saved. A write that fails is told to the user at
// once, while the workbook is still open and they can save a copy elsewhere.
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
// was written; otherwise the user has been told, in a box owned by a host window, which
// file could not be written and why. At the end of life (`atEnd`) the workbook is closed
// and about to be removed with the workspace: a failed write first copies it to a
// recovery file in the temporary folder, outside the workspace, and the box names it (or,
// when even that fails, names the workbook in the workspace, which stays until the box is
// closed).
bool SaveStateNow(RuntimeState& state, bool atEnd = false);
