#pragma once
// RuntimeState: what the runtime add-in keeps from its start inside the host to the end of
// the application's life. One per host process; used only on the host's window thread.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/win/scoped_win.h"
#include "core/payload/app_settings.h"

struct StateSave;

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

  // The host's application object, the window its Hwnd named at the start (where the
  // launcher's messages arrive), and every main window of the host's thread that the
  // runtime has put its procedure in front of, with the procedure it replaced.
  ComPtr<IDispatch> application;
  HWND hostWindow = nullptr;
  struct Subclassed {
    HWND window;
    WNDPROC original;
  };
  std::vector<Subclassed> windows;

  // From the start-up information file beside the add-in.
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
  std::string workbookDigest;   // the launcher's item 1250, written into the state's extra section
  // The launcher carries the workbook's password (protectWorkbook): every save the state
  // takes must arrive encrypted with it.
  bool protectsWorkbook = false;

  // The take-over. The timers are the thread's (no window of their own: a main window
  // may go while the host stays); a call into the host's object model is never entered
  // twice, from a timer firing inside a modal loop the host runs during the call.
  ComPtr<IDispatch> workbook;
  UINT_PTR openRetryTimer = 0;
  UINT_PTR watchTimer = 0;
  UINT_PTR giveUpTimer = 0;
  bool inHostCall = false;

  // The workbook file as it was on disk when the state was last taken from it: a change is
  // the sign of a save.
  ULONGLONG workbookStamp = 0;
  ULONGLONG workbookSize = 0;
  bool stateWritten = false;  // the saved-state file holds the workbook as it is now
  // The state's write under way on a thread of its own (state_saving_win.h), and what it
  // was handed; the thread's handle is null when none is under way.
  ScopedHandle saveThread;
  std::shared_ptr<StateSave> stateSave;

  // Where the user's saves go (workbook_follow_win.h): the file the state is taken from
  // (the workspace's workbook, or where Save As put it), the host's last word on the
  // workbook's name (FullName), and whether it was saved at the last look.
  std::wstring savedFrom;
  std::wstring hostName;
  bool hostSaved = true;
  bool toldOtherFormat = false;
};

RuntimeState& Runtime();

// The add-in's own file and its folder (with a final backslash).
std::wstring AddInPath(const RuntimeState& state);
std::wstring AddInFolder(const RuntimeState& state);

// A main window of the host that still exists, to own the runtime's boxes; null when none.
HWND BoxOwner(const RuntimeState& state);

// The settings' appTitle, or the built-in one when it is empty: the runtime's boxes' caption.
std::wstring ApplicationTitle(const RuntimeState& state);

// A box owned by a host window, with the application's title; `icon` is an MB_ICON value.
void TellUser(const RuntimeState& state, const std::wstring& text, UINT icon);
