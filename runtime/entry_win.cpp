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

// The launcher leaves its command line and the workbook's path beside the add-in. A file
// that is missing or damaged leaves both empty: the take-over then reports the workbook
// as one that cannot be opened.
void ReadStartupInfo(RuntimeState& state) {
  std::string bytes;
  if (!ReadWholeFile(AddInFolder(state) + ToWide(GetText(TextId::kStartupInfoFileName)), bytes)) return;
  try {
    StartupInfo info = ParseStartupInfo(bytes);
    state.commandLine = ToWide(info.commandLine);
    state.workbookPath = ToWide(info.workbookPath);
    state.namedLauncherId = info.launcherProcessId;
    state.namedLauncherPath = ToWide(info.launcherPath);
  } catch (const std::exception&) {
    state.commandLine.clear();
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
  ReadStartupInfo(state);
  if (!SubclassHostWindow(state, GetHostHwnd(host.Get()))) return false;
  state.application = std::move(host);
  state.phase = RuntimePhase::kLinked;
  return true;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    Runtime().module = module;
    DisableThreadLibraryCalls(module);
  }
  // Unloaded while the host goes on (at process exit `reserved` is set and nothing runs any
  // more): the host window must not keep a procedure whose code is about to go.
  if (reason == DLL_PROCESS_DETACH && !reserved) ReleaseHostWindow(Runtime());
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
