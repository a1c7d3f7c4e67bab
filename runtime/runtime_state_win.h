#pragma once
// RuntimeState: what the runtime add-in keeps from its start inside the host to the end of
// the application's life. One per host process; used only on the host's window thread.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <string>

#include "core/win/scoped_win.h"
#include "core/payload/app_settings.h"

enum class RuntimePhase {
  kIdle,     // not started, or started without a host window
  kLinked,   // the launcher's messages arrive
  kOpening,  // 1171 came: the workbook is being opened, retried while the host is busy
  kRunning,  // the workbook is the user's
  kRefused,  // the workbook could not be opened: the host is being quit
  kEnded,    // the host has let go; cleanup or the resident launcher's signal is under way
};

struct RuntimeState {
  HMODULE module = nullptr;
  RuntimePhase phase = RuntimePhase::kIdle;

  // The host's application object and main window, and the window procedure we replaced.
  ComPtr<IDispatch> application;
  HWND hostWindow = nullptr;
  WNDPROC originalProc = nullptr;

  // From the start-up information file beside the add-in.
  std::wstring commandLine;
  std::wstring workbookPath;
  DWORD namedLauncherId = 0;      // the launcher's own word on who it is: 1159 must match
  std::wstring namedLauncherPath;

  // From the launcher's messages.
  DWORD launcherProcessId = 0;
  ScopedHandle launcherProcess;  // held so that the process id cannot be reused meanwhile
  std::wstring launcherPath;
  ScopedHandle launcherFile;  // the executable, held so that it cannot be replaced or renamed
  uint32_t silentStart = 0;
  bool settingsRead = false;
  std::string settingsBlob;
  AppSettings settings;
  std::wstring savedStatePath;  // where the saved state goes, as the launcher reads it

  // The take-over.
  ComPtr<IDispatch> workbook;
  DWORD openStartedTick = 0;
};

RuntimeState& Runtime();

// The add-in's own file and its folder (with a final backslash).
std::wstring AddInPath(const RuntimeState& state);
std::wstring AddInFolder(const RuntimeState& state);

// The timers the runtime sets on the host window; ids far from the host's own.
namespace RuntimeTimer {
constexpr UINT_PTR kOpenRetry = 0x53500001;
constexpr UINT_PTR kWatchWorkbook = 0x53500002;
}  // namespace RuntimeTimer
