// pelkostub.dll: a stand-in for the runtime add-in. The loader workbook's macro calls
// DummyFunc9(1170, application, 0); from then on the add-in listens on the host's main
// window(s), journals every private message, and after the last one (1171) does what
// the scenario's after1171 says.
#include <windows.h>

#include <map>
#include <string>

#include "core/text/message_texts.h"
#include "testkit/addin/addin_state_win.h"
#include "testkit/common/journal_win.h"

namespace {

constexpr int kStartCode = 1170;
constexpr UINT kFirstPrivate = WM_USER;
constexpr UINT kLastPrivate = WM_USER + 1023;
constexpr UINT kLauncherProcessMessage = WM_USER + 135;  // 1159: wParam is the launcher's process id
constexpr UINT kEndOfMessagePhase = WM_USER + 147;       // 1171

std::map<HWND, WNDPROC> originalProcs;

LRESULT CALLBACK AddInWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  AddInState& state = AddIn();
  if (message >= kFirstPrivate && message <= kLastPrivate) {
    state.journal.Write("msg " + std::to_string(message) + " " + std::to_string(wParam) + " " +
                        std::to_string(lParam));
    if (message == kLauncherProcessMessage) state.launcherProcessId = static_cast<DWORD>(wParam);
    if (message == kEndOfMessagePhase) RunAfterMessagePhase(state);
  }
  auto original = originalProcs.find(window);
  if (original == originalProcs.end()) return DefWindowProcW(window, message, wParam, lParam);
  return CallWindowProcW(original->second, window, message, wParam, lParam);
}

BOOL CALLBACK SubclassHostWindow(HWND window, LPARAM) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != GetCurrentProcessId() || originalProcs.count(window)) return TRUE;
  std::u16string hostClass = GetText(TextId::kHostWindowClass);
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  if (std::wstring(hostClass.begin(), hostClass.end()) != name) return TRUE;
  originalProcs[window] = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AddInWindowProc)));
  return TRUE;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    AddIn().module = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

// Exported undecorated as DummyFunc9 (see the .def files): the loader declares it so.
extern "C" int __stdcall DummyFunc9(int code, void* application, void*) {
  if (code != kStartCode) return 0;
  AddInState& state = AddIn();
  state.application = application;
  StartAddIn(state);
  EnumWindows(SubclassHostWindow, 0);
  return 1;
}
