#pragma once
// The host's main windows, subclassed: the launcher's messages arrive through the one the
// host's Hwnd named at the start, and the end of the host's last main window is the end of
// the application's life. A window's end by itself is only a hint: from version 2013 on
// each workbook has a main window of its own, and one going leaves the host running.
#include <windows.h>

struct RuntimeState;

// Puts the runtime's procedure in front of `window` (the host's Hwnd) and of every other
// main window of the calling thread. False when `window` is not one of the calling
// thread's (a window of another thread cannot be subclassed).
bool SubclassHostWindow(RuntimeState& state, HWND window);

// Subclasses the main windows of the host's thread that came since (a new workbook window).
// Called whenever a subclassed main window goes while others stay, so the last main window
// to go is always one of the runtime's.
void SubclassNewMainWindows(RuntimeState& state);
