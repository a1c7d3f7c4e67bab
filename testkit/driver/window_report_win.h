#pragma once
// What the driver writes about a window of the program it watches:
//   window "<class>" "<title>"
//   rect <left> <top> <width> <height>            (screen coordinates)
//   owner "<class>" "<title>"                     (only for an owned window)
//   child "<class>" <id> "<text>" <x> <y> <width> <height>   (each child, client coordinates)
//   icon <error|question|warning|information|none|unknown>   (dialogs only)
#include <windows.h>

#include <string>

class Journal;

void ReportWindow(Journal& journal, HWND window);

// The text of a window of another process, asked with WM_GETTEXT (edit controls keep
// their text to themselves); empty when the window does not answer within a second.
std::wstring WindowText(HWND window);
