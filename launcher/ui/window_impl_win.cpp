#include "launcher/ui/window_impl_win.h"

#include <algorithm>

RECT CWindow::GetWindowRect() const {
  RECT rect = {};
  ::GetWindowRect(m_hWnd, &rect);
  return rect;
}

RECT CWindow::GetClientRect() const {
  RECT rect = {};
  ::GetClientRect(m_hWnd, &rect);
  return rect;
}

void CWindow::CenterWindow(HWND over) {
  if (!over) over = GetWindow(m_hWnd, GW_OWNER);
  if (over && (!IsWindowVisible(over) || IsIconic(over))) over = nullptr;

  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(over ? over : m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT area = monitor.rcWork;
  RECT target = area;
  if (over) ::GetWindowRect(over, &target);

  RECT own = GetWindowRect();
  int width = own.right - own.left;
  int height = own.bottom - own.top;
  int left = (target.left + target.right) / 2 - width / 2;
  int top = (target.top + target.bottom) / 2 - height / 2;
  // Inside the work area; a window larger than the area keeps its top left corner in.
  left = std::max<int>(area.left, std::min<int>(left, area.right - width));
  top = std::max<int>(area.top, std::min<int>(top, area.bottom - height));
  SetWindowPos(m_hWnd, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RegisterLayerClass(const WindowClassSpec& classInfo, WNDPROC procedure, WNDPROC* baseProcedure) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, classInfo.name, &existing)) return true;

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  if (classInfo.baseClass) {
    if (!GetClassInfoExW(nullptr, classInfo.baseClass, &windowClass)) return false;
    *baseProcedure = windowClass.lpfnWndProc;
  } else {
    windowClass.style = classInfo.style;
    windowClass.hCursor = classInfo.arrowCursor ? LoadCursorW(nullptr, IDC_ARROW) : nullptr;
  }
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = classInfo.name;
  // Another thread may have registered it in the meantime; that is as good.
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
