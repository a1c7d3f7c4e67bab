#pragma once
// The one host instance of a run: created hidden, its version and bitness read, and its
// main window found, to which every add-in message goes.
#include <windows.h>
#include <oleauto.h>

#include "core/win/scoped_win.h"

// Starts the host as a local automation server straight into `host`, so that whoever holds
// `host` can still quit it when a later call fails; hides it and sets `hostVersion` (0
// until read). Raises notice4user when the host cannot be created, _com_error when a call
// on it fails.
void CreateHost(ComPtr<IDispatch>& host, int& hostVersion);

// True when the host's product code marks a 64-bit build; an empty or unparsable code
// counts as 32-bit.
bool IsHost64Bit(IDispatch* host);

// The host's main window, or null. Below version 14 it is found by class and caption;
// from 14 on among the top-level windows of the host's own process.
HWND FindHostMainWindow(IDispatch* host, int hostVersion);
