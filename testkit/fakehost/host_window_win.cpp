#include "testkit/fakehost/host_window_win.h"

#include <string>

#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/workbook_pane_win.h"

namespace {

constexpr wchar_t kHostWindowClass[] = L"XLMAIN";
constexpr wchar_t kOtherWindowClass[] = L"SheetpackOtherWindow";
constexpr UINT_PTR kEndTimer = 1;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HostState& host = Host();
  switch (message) {
    case kEndOfMessagePhase:
      if (window == host.mainWindow) {
        long long delay = host.scenario.Number("quitAfter1171", -1);
        if (delay >= 0) EndHost(static_cast<DWORD>(delay));
      }
      return 0;
    case WM_QUERYENDSESSION:
      // The session is ending: the host asks whether to save the changes, once, from its
      // main window.
      if (window == host.mainWindow) SaveAtPrompt();
      return TRUE;
    case WM_CLOSE:
      // Closing the main window closes the workbooks and ends the host, as it does the real one.
      if (window == host.mainWindow || window == host.activeWindow) {
        CloseAllWorkbooks();
        EndHost();
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

HWND CreateHostWindow(const std::wstring& title, const wchar_t* className = kHostWindowClass) {
  return CreateWindowExW(0, className, title.c_str(), WS_OVERLAPPEDWINDOW, 40, 40, 640, 480, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

void CALLBACK EndOnTimer(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  EndHost();
}

}  // namespace

bool CreateHostWindows(HostState& host) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = HostWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kHostWindowClass;
  if (!RegisterClassExW(&windowClass)) return false;
  windowClass.lpszClassName = kOtherWindowClass;
  if (!RegisterClassExW(&windowClass)) return false;
  // The windows inside a frame (workbook_pane_win.h).
  windowClass.lpszClassName = kDesktopClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  if (!RegisterClassExW(&windowClass)) return false;
  windowClass.lpszClassName = kPaneClass;
  windowClass.lpfnWndProc = PaneWindowProc;
  if (!RegisterClassExW(&windowClass)) return false;

  host.mainWindow = CreateHostWindow(host.scenario.Text("title", host.caption));
  CreateFrameDesktop(host.mainWindow);
  // Further main-window candidates, their titles separated by '|'.
  if (auto titles = host.scenario.Find("extraWindows")) {
    std::wstring_view rest = *titles;
    while (!rest.empty()) host.extraWindows.push_back(CreateHostWindow(std::wstring(NextPart(rest, L'|'))));
  }
  // hwnd=other: the Hwnd member names a window of the process that is no main window.
  if (host.scenario.Text("hwnd", L"real") == L"other") {
    host.otherWindow = CreateHostWindow(host.caption, kOtherWindowClass);
  }
  return host.mainWindow != nullptr;
}

HWND CreateWorkbookWindow(HostState& host) {
  HWND window = CreateHostWindow(host.caption);
  if (!window) return nullptr;
  CreateFrameDesktop(window);
  host.workbookWindows.push_back(window);
  if (host.visible) ShowWindow(window, SW_SHOW);
  host.journal.Write("window created");
  return window;
}

void EndHost(DWORD delayMs) {
  HostState& host = Host();
  if (delayMs > 0 && host.mainWindow) {
    SetTimer(host.mainWindow, kEndTimer, delayMs, EndOnTimer);
    return;
  }
  if (host.endRequested) return;
  host.endRequested = true;
  PostQuitMessage(0);
}
