#pragma once
// The host's top-level windows of class XLMAIN: the main window, which the Visible,
// Hwnd and Caption members act on and which the add-in subclasses, and any further
// ones the scenario asks for.
#include <windows.h>

struct HostState;

// Creates the windows, hidden; false when the window class cannot be registered.
bool CreateHostWindows(HostState& host);

// Message number of the add-in's last control message, after which a scenario may
// have the host end by itself.
constexpr UINT kEndOfMessagePhase = WM_USER + 147;

// A further main window, for a workbook of its own (windowPerWorkbook), shown when the
// host is.
HWND CreateWorkbookWindow(HostState& host);
