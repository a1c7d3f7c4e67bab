#pragma once
struct LauncherState;

// Saved-state mode: creates the named event through which the add-in lets the
// resident launcher end, starts the thread that watches it, and opens the host's
// process (from the host window's thread), whose end also ends the resident wait.
// False when the event's name is already taken, by an event or another kind of object:
// the launcher must not wait on somebody else's object, and the launch fails.
bool CreateResidentEvent(LauncherState& state);

// The watcher's body: waits for the event, then sets the event-seen flag.
void WatchResidentEvent(LauncherState& state);

// The resident wait: returns once the host's process has ended, whether the add-in has
// signalled the event or not (it signals once the state is written; the host may go on
// long after, and a killed host signals nothing). Only when the host's process could not
// be opened, the event alone ends it. Does nothing outside saved-state mode, after a
// failed launch, or when no host window was found (the add-in then never learnt the
// event's name).
void WaitWhileResident(LauncherState& state);

// Saved-state mode, once the run is over: the workspace goes, but first a last save the
// state lacks (a host killed before the runtime took it) is carried into the state
// (work_recovery_win.h). Work that can be kept nowhere keeps the workspace as it is.
void RemoveResidentWorkspace(LauncherState& state);
