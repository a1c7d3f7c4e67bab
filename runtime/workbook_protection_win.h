#pragma once
// protectWorkbook: the application's workbook is encrypted with a password the user never
// sees, and the saved state carries it only so. A user can remove the password (File,
// Info, Protect Workbook) and save; the host then writes the workbook in the clear. Such a
// save never goes into the state: while the workbook is open the runtime puts the password
// back (Workbook.Password) and has the host save again, and the state takes that save; when
// that fails, or the workbook is closed already, the save is refused. The user is told
// either way.
struct RuntimeState;

// For a save that arrived in the clear; `atEnd` when the workbook is closed. False when the
// host was busy: the save is to be taken again at the next look.
bool KeepWorkbookProtected(RuntimeState& state, bool atEnd);
