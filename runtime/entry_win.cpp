// The runtime add-in's entry by the loader: the loader workbook's open macro loads the DLL
// and calls DummyFunc9(1170, Application, 0); from then on the add-in lives in the host's
// main window procedure (host_window_win.cpp). The other way in is xll_entry_win.cpp.
#include <windows.h>

#include <cstdint>

#include "core/host/addin_messages.h"
#include "runtime/runtime_state_win.h"
#include "runtime/start_win.h"

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
    const bool loaderCall = code == static_cast<int32_t>(AddInMessage::kLoaderCall);
    return loaderCall && StartRuntime(Runtime(), static_cast<IUnknown*>(application)) ? 1 : 0;
  } catch (...) {
    return 0;  // nothing may reach the host's macro
  }
}

// The packer looks for this export to know that the add-in answers the launcher's start
// probe; it answers as the runtime's window procedure does.
extern "C" uint32_t __stdcall SheetpackStartAnswer() { return AddInMessage::kStartedAnswer; }
