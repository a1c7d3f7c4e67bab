#include "runtime/start_win.h"

#include <exception>

#include "core/host/host_ops_win.h"
#include "core/payload/workspace_names.h"
#include "core/text/message_texts.h"
#include "core/win/files_win.h"
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

}  // namespace

bool StartRuntime(RuntimeState& state, IUnknown* application) {
  // The loader may run twice (a host that opens it again), or the host may load the
  // add-in as an XLL after the loader's call: the first start stays in charge.
  if (state.phase != RuntimePhase::kIdle) return true;
  if (!application) return false;
  ComPtr<IDispatch> host;
  if (FAILED(application->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(host.Put())))) return false;
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
