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

// The resident wait: returns once the add-in has signalled the event, at once when it
// did so before this call, or once the host's process has ended (the add-in may never
// have loaded, or the host was killed). Does nothing outside saved-state mode, after a
// failed launch, or when no host window was found (the add-in then never learnt the
// event's name).
void WaitWhileResident(LauncherState& state);
