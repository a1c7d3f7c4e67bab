// The runtime's entry as an XLL, the way in that needs no macro: the launcher has the
// host load the add-in through Application.RegisterXLL when the loader's macro did not
// start it. The host then calls xlAutoOpen on its main thread; the runtime finds its
// host's application object the documented way, through the native object model of a
// workbook window, and starts exactly as after the loader's call.
#include <windows.h>
#include <oleacc.h>

#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/start_win.h"

namespace {

// The window classes of the host's frame, its desktop and a workbook's pane, in which
// the pane hands out its Window object for OBJID_NATIVEOM.
constexpr wchar_t kFrameClass[] = L"XLMAIN";
constexpr wchar_t kDesktopClass[] = L"XLDESK";
constexpr wchar_t kPaneClass[] = L"EXCEL7";

struct PaneSearch {
  DWORD processId;
  HWND pane;
};

// A frame of another host process may sit beside ours: only our process's frames count.
BOOL CALLBACK FindPaneInFrame(HWND frame, LPARAM lParam) {
  auto& search = *reinterpret_cast<PaneSearch*>(lParam);
  DWORD processId = 0;
  GetWindowThreadProcessId(frame, &processId);
  wchar_t className[16] = {};
  if (processId != search.processId || !GetClassNameW(frame, className, 16) || lstrcmpW(className, kFrameClass) != 0) {
    return TRUE;
  }
  HWND desktop = FindWindowExW(frame, nullptr, kDesktopClass, nullptr);
  search.pane = desktop ? FindWindowExW(desktop, nullptr, kPaneClass, nullptr) : nullptr;
  return search.pane ? FALSE : TRUE;
}

// The host's application object through the Window object of a workbook pane; null when
// no workbook window is open or the host hands out no object for it.
ComPtr<IDispatch> FindHostApplication() {
  PaneSearch search{GetCurrentProcessId(), nullptr};
  EnumWindows(FindPaneInFrame, reinterpret_cast<LPARAM>(&search));
  if (!search.pane) return {};
  ComPtr<IDispatch> window;
  if (FAILED(AccessibleObjectFromWindow(search.pane, static_cast<DWORD>(OBJID_NATIVEOM), IID_IDispatch,
                                        reinterpret_cast<void**>(window.Put()))) ||
      !window) {
    return {};
  }
  return GetApplicationOf(window.Get());
}

}  // namespace

// Exported undecorated (see the .def files), __stdcall on x86, as the host calls it. The
// host wants 1 whatever happened; whether the runtime started, the launcher learns from
// its start probe.
extern "C" int __stdcall xlAutoOpen() {
  try {
    ComPtr<IDispatch> application = FindHostApplication();
    if (application) StartRuntime(Runtime(), application.Get());
  } catch (const _com_error&) {
    // The host's model refused a call: the runtime did not start, which the probe tells.
  } catch (...) {
    // Nothing may reach the host.
  }
  return 1;
}

// Called when the host deactivates the add-in. Once started the runtime is pinned and
// stays in front of the host's windows for the process's life, so there is nothing to undo.
extern "C" int __stdcall xlAutoClose() { return 1; }
