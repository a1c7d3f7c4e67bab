#pragma once
// The runtime's start inside the host, shared by its two ways in: the loader's macro
// (entry_win.cpp) and the host's loading of it as an XLL (xll_entry_win.cpp).
#include <windows.h>

struct RuntimeState;

// Takes the host's application object, reads the start-up information beside the add-in
// and puts the runtime in front of the host's main window. True when the runtime runs,
// also when it was already running (the first start stays in charge).
bool StartRuntime(RuntimeState& state, IUnknown* application);
