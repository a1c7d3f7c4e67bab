#pragma once
// Saved-state mode: the saved-state file is written each time the user saves the packaged
// workbook, not only when the host ends, so that a host that is killed, crashes or ends
// with the session loses nothing that was saved. A write that fails is told to the user as
// soon as it has ended, with the place the work is kept instead (state_failure_win.h).
struct RuntimeState;

// Whether the application runs in saved-state mode, with settings to save beside the
// workbook.
bool SavesState(const RuntimeState& state);

// Takes note of the workbook file as the launcher wrote it: a later change is a save.
void NoteWorkbookOnDisk(RuntimeState& state);

// From the watch timer: when the workbook file changed on disk since the state was last
// taken, the state is written again. The file is read and the state written by a thread of
// the runtime's, never on the host's window thread, whose user would wait meanwhile: this
// starts the write, and a later call acts on how it went (a failure is told to the user, a
// save in the clear of a protected workbook handled). One write at a time: a save that
// comes meanwhile is taken once the one under way has ended.
void SaveStateAfterUserSave(RuntimeState& state);

// At the end of life: waits for the write under way, then writes the state once more when
// the workbook changed since or the state does not hold it yet, and waits for that. True
// when the state holds the workbook; otherwise the user has been told, in a box owned by a
// host window, which file could not be written and where the work is kept instead.
bool SaveStateAtEnd(RuntimeState& state);
