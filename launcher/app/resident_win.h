#pragma once
struct LauncherState;

// Saved-state mode: creates the named event through which the add-in lets the
// resident launcher end, and starts the thread that watches it.
void CreateResidentEvent(LauncherState& state);

// The watcher's body: waits for the event, then sets the event-seen flag.
void WatchResidentEvent(LauncherState& state);

// The resident wait: returns once the add-in has signalled the event, at once when it
// did so before this call. Does nothing outside saved-state mode or after a failed launch.
void WaitWhileResident(LauncherState& state);
