#pragma once
// The take-over after 1171: the packaged workbook is opened in the host and handed to the
// user, and the runtime watches the workbook: each save writes the saved state, and its
// close quits a host that has nothing else open.
struct RuntimeState;

// Opens the workbook; while the host answers that it is busy, tries again from a timer
// (the host's window thread is never held), for as long as it stays busy. A workbook that
// cannot be opened is reported to the user in a box owned by a host window, and the host
// is quit when no workbook is open in it. No call into the host is entered twice.
void BeginTakeOver(RuntimeState& state);

// Stops every timer of the take-over (the host is ending).
void StopTakeOverTimers(RuntimeState& state);
