#pragma once
// Tells which standard message-box icon a dialog shows. The icon handle of another
// process's control means nothing in this one, so the icon is read the way the user
// sees it: the control's pixels on screen are compared with each standard icon drawn
// here at the same size, on the pixels those icons cover.
#include <windows.h>

// "error", "question", "warning" or "information"; "none" when the dialog shows no icon;
// "unknown" when the pixels match none of them.
const char* ProbeDialogIcon(HWND dialog);
