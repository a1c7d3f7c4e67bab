#pragma once
// probeEvery=<ms>: how long the user waits for the host's window to take a click. A thread
// of the host's own sends the main window WM_NULL (SendMessageTimeout) that often and notes
// how long each answer took. Answers that overlap one of the host's own saves are not
// counted: a real host takes its time to save, and that time is not an add-in's. Journal,
// once the probe stops: probe <answers counted> <longest of them, ms> <when it was asked
// for, ms after the probe started> <answers over 100 ms> <answers left out>.
struct HostState;

// Starts the probe when the scenario asks for it.
void StartResponsivenessProbe(HostState& host);
// Stops it and journals what it saw; nothing when it never ran or has stopped already.
void StopResponsivenessProbe(HostState& host);
// Around each of the host's own saves.
void NoteHostSaving(bool saving);
