// The runtime add-in's entry. The loader workbook's open macro loads the DLL and calls
// DummyFunc9(1170, Application, 0); from then on the add-in lives in the host's main
// window procedure (host_window_win.cpp).
#include <windows.h>

#include <cstdint>

#include "core/host/addin_messages.h"
#include "core/host/host_ops_win.h"
#include "core/win/files_win.h"
#include "core/text/message_texts.h"
#include "core/payload/workspace_names.h"
#include "core/win/wide_win.h"
#include "runtime/host_window_win.h"
#include "runtime/runtime_state_win.h"

namespace {

// Any address inside the runtime's image names it to the loader.
const char kPinAnchor = 0;

// The launcher leaves the workbook's path and its own name beside the add-in. A file
// that is missing or damaged leaves them empty: the take-over then reports the workbook
// as one that cannot be opened.
void ReadStartupInfo(RuntimeState& state) {
  std::string bytes;
  if (!ReadWholeFile(AddInFolder(state) + ToWide(GetText(TextId::kStartupInfoFileName)), bytes)) return;
  try {
    StartupInfo info = ParseStartupInfo(bytes);
    state.workbookPath = ToWide(info.workbookPath);
    state.namedLauncherId = info.launcherProcessId;
    state.namedLauncherPath = ToWide(info.launcherPath);
  } catch (const std::exception&) {
    state.workbookPath.clear();
    state.namedLauncherId = 0;
    state.namedLauncherPath.clear();
  }
}

bool StartRuntime(RuntimeState& state, void* application) {
  // The loader may run twice (a host that opens it again): the first start stays in charge.
  if (state.phase != RuntimePhase::kIdle) return true;
  if (!application) return false;
  ComPtr<IDispatch> host;
  if (FAILED(static_cast<IUnknown*>(application)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(host.Put())))) {
    return false;
  }
  HWND window = GetHostHwnd(host.Get());
  if (!window || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
  // From the first subclassed window on, the runtime's code is reachable from the host's
  // windows and timers, and another add-in may subclass after it: it stays loaded for the
  // rest of the process, whatever unloads it.
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&kPinAnchor), &pinned)) {
    return false;
  }
  ReadStartupInfo(state);
  if (!SubclassHostWindow(state, window)) return false;
  state.application = std::move(host);
  state.phase = RuntimePhase::kLinked;
  return true;
}

}  // namespace

// Nothing is torn down here: under the loader lock no COM object may be released and no
// window touched, and once started the runtime is pinned, so it is never unloaded while
// the host runs.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    Runtime().module = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

// Exported undecorated (see the .def files): the loader's Declare names it so, and on x86
// it is __stdcall, as VBA calls. 1 when the runtime runs, 0 for another code or a failed start.
extern "C" int32_t __stdcall DummyFunc9(int32_t code, void* application, void*) {
  try {
    return code == static_cast<int32_t>(AddInMessage::kLoaderCall) && StartRuntime(Runtime(), application) ? 1 : 0;
  } catch (...) {
    return 0;  // nothing may reach the host's macro
  }
}

// The packer looks for this export to know that the add-in answers the launcher's start
// probe; it answers as the runtime's window procedure does.
extern "C" uint32_t __stdcall SheetpackStartAnswer() { return AddInMessage::kStartedAnswer; }
