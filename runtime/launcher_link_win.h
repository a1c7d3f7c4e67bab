#pragma once
// What the runtime learns from and about the launcher that started it: its process and
// executable (1159), and the settings record the application runs with (1155).
#include <windows.h>

struct RuntimeState;

// Opens the launcher's process and takes its executable's path from the process itself:
// the command line may name it relative to a folder that is not ours. Taken only when the
// id and the executable are the ones the start-up information names, and the executable
// can be held open against writing, renaming and deleting; otherwise nothing changes.
void LinkLauncherProcess(RuntimeState& state, DWORD processId);

// Reads item 1100 from the launcher's executable, loaded as a data file, and the saved
// state beside it in saved-state mode, as the launcher itself does. Without a launcher
// path the settings stay empty (and unread, so that a later message may try again).
void ReadLauncherSettings(RuntimeState& state);
