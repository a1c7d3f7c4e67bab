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

// The host's main window, or null. From version 10 on it is found among the top-level
// windows of the process that Application.Hwnd names; an older host, which lacks Hwnd,
// by class and caption.
HWND FindHostMainWindow(IDispatch* host, int hostVersion);
