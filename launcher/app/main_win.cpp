// The launcher's process entry: its own entry point, which confines library loading to
// the system folder before the C runtime starts; then cleanup mode, or a normal run with
// its last-resort message boxes. No exception leaves this function.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/app/cleanup_win.h"
#include "launcher/app/command_line.h"
#include "launcher/app/host_watch_win.h"
#include "launcher/base/launcher_state_win.h"
#include "launcher/app/resident_win.h"
#include "launcher/app/run_launcher_win.h"
#include "launcher/base/system_library_win.h"
#include "core/win/wide_win.h"
#include "core/host/com_error_win.h"
#include "core/encoding/utf.h"
#include "launcher/ui/gdiplus_win.h"

namespace {

// The launcher state exists before the entry function runs and is destroyed after it
// returns, so its destructor's shutdown also covers every early return.
LauncherState& g_state = State();

std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  for (int i = 0; i < __argc; ++i) args.emplace_back(__wargv[i] ? __wargv[i] : L"");
  return args;
}

bool RunCleanupMode(const std::vector<std::wstring>& args) {
  std::vector<std::u16string> portable;
  for (const auto& arg : args) portable.push_back(FromWide(arg));
  CleanupRequest request = ScanCleanupMode(portable);
  if (!request.active) return false;
  // Started as the watcher of a host: nothing goes while the host may still hold it, and
  // nothing at all when the handle names no process.
  if (request.waitsForHost && !WaitForHostProcess(request.hostProcess)) return true;
  CleanupFiles(ToWide(request.first), ToWide(request.second));
  return true;
}

}  // namespace

// The C runtime's entry point for a GUI program (MinGW's crt2u.o with -municode): it
// runs the runtime's initialisers and every static constructor, then wWinMain.
extern "C" int WinMainCRTStartup(void);

// The process's entry point (linked with -e). Windows calls it once the static imports
// are loaded (ADVAPI32, GDI32, KERNEL32, msvcrt, ole32, OLEAUT32, SHELL32, USER32, all
// known DLLs) and MinGW's TLS callbacks have run (they load nothing); every C and C++
// initialiser runs after it, inside WinMainCRTStartup: the first static constructor
// that loads a library by name (the stack protector's, which starts the cryptographic
// provider, and LauncherState's CoInitialize) already finds the search confined. No
// stack protector here: the guard value changes inside WinMainCRTStartup, which never
// returns to this frame anyway.
extern "C" __attribute__((no_stack_protector))
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
int SheetpackEntry(void) {
  RestrictLibrarySearch();
  return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::wstring> args = Arguments();
  if (RunCleanupMode(args)) return 1;

  LoadIndirectSystemLibraries();
  ULONG_PTR gdiplusToken = StartGdiplus();

  try {
    RunLauncher(args);
  } catch (const notice4user& notice) {
    std::wstring text = ToWide(Utf8ToUtf16(notice.what()));
    MessageBoxW(nullptr, text.c_str(), L"Warning", MB_ICONWARNING);
    return 0;
  } catch (const _com_error& error) {
    std::wstring text = L"COM error:" + error.Description();
    MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK);
  } catch (...) {
    MessageBoxW(nullptr, L"Unknown exception", L"Error", MB_OK);
  }

  ShutdownGdiplus(gdiplusToken);
  if (g_state.HasOption(OPT_SAVED_STATE)) RemoveResidentWorkspace(g_state);
  return g_state.exitCode;
}
