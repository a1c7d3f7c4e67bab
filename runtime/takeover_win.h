#pragma once
// The take-over after 1171: the packaged workbook is opened in the host and handed to the
// user, and the runtime watches for the user to close it.
struct RuntimeState;

// Opens the workbook; while the host answers that it is busy, tries again from a timer
// (the host's window thread is never held). A workbook that cannot be opened is reported
// to the user in a box owned by the host window, and the host is quit.
void BeginTakeOver(RuntimeState& state);
void RetryOpen(RuntimeState& state);

// From a timer while the workbook is the user's: once the user has closed it and no other
// workbook is open, the host is quit, since the application is over.
void WatchWorkbook(RuntimeState& state);
