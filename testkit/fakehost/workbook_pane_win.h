#pragma once
// The windows inside a host frame, as the real host has them: the desktop (class XLDESK)
// and in it a pane (class EXCEL7) for every workbook the frame shows. A pane hands out
// its Window object to whoever asks with WM_GETOBJECT and OBJID_NATIVEOM, the way the
// host's native object model is documented to be reached (AccessibleObjectFromWindow).
#include <windows.h>

constexpr wchar_t kDesktopClass[] = L"XLDESK";
constexpr wchar_t kPaneClass[] = L"EXCEL7";

// The pane's window procedure; the desktop's is DefWindowProcW.
LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The desktop of a frame, created hidden with it.
HWND CreateFrameDesktop(HWND frame);

// A workbook's pane in the frame's desktop; null when the frame has no desktop.
HWND CreateWorkbookPane(HWND frame);
