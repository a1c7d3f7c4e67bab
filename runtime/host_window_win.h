#pragma once
// The host's main window, subclassed: the launcher's messages, the runtime's timers and
// the window's end all arrive through it, on the host's window thread.
#include <windows.h>

struct RuntimeState;

// Puts the runtime's procedure in front of the window's own. False when the window is not
// one of the calling thread's (a window of another thread cannot be subclassed).
bool SubclassHostWindow(RuntimeState& state, HWND window);

// Stops the runtime's timers, gives the window its own procedure back and lets go of the
// host's objects. Safe to call more than once.
void ReleaseHostWindow(RuntimeState& state);
