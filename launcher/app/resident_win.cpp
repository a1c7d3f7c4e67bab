#include "launcher/app/resident_win.h"

#include <windows.h>

#include "launcher/app/cleanup_win.h"
#include "launcher/app/host_watch_win.h"
#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "launcher/payload/work_recovery_win.h"

// The event is manual-reset and is reset only here, before the add-in can know its
// name (it learns the process id from the first message after this). From then on
// nobody resets it, so a signal, once given, ends every wait whenever it starts.
bool CreateResidentEvent(LauncherState& state) {
  std::wstring name = ToWide(ResidentEventName(GetCurrentProcessId()));
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  // An existing event of that name belongs to somebody else, who could end or hold
  // the wait at will; a name taken by another kind of object gives no handle at all.
  if (!event) return false;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(event);
    return false;
  }
  state.residentEvent.reset(event);
  ResetEvent(state.residentEvent.get());
  state.hostProcess.reset(OpenHostProcess(state.hostWindow, false));
  state.eventWatcher = std::make_unique<std::thread>(WatchResidentEvent, std::ref(state));
  return true;
}

void WatchResidentEvent(LauncherState& state) {
  if (!state.HasOption(OPT_SAVED_STATE) || !state.residentEvent) return;
  WaitForSingleObject(state.residentEvent.get(), INFINITE);
  state.eventSeen.exchange(true);
}

void WaitWhileResident(LauncherState& state) {
  // A failed launch has quit the host before the add-in got 1171: nothing will signal.
  if (state.failed) return;
  if (!state.HasOption(OPT_SAVED_STATE) || !state.residentEvent) return;
  // Without a host window no message, 1159 included, reached the add-in: it cannot know
  // the event's name.
  if (!state.hostWindow) return;
  if (!state.hostProcess) {
    if (state.eventSeen.load()) return;
    // The host's process could not be opened (it runs under another account): the wait
    // is on the event alone, as the add-in's signal is all there is to go by.
    WaitForSingleObject(state.residentEvent.get(), INFINITE);
    return;
  }
  // The add-in's signal says the state is written, not that the host is done with the
  // workspace: the host may go on with another workbook of the user's for hours, and a
  // host that is killed or crashes, or whose add-in never loaded, gives no signal at all.
  // So the workspace goes once the host's process has ended, signal or not.
  WaitForSingleObject(state.hostProcess.get(), INFINITE);
}

void RemoveResidentWorkspace(LauncherState& state) {
  if (!CarryWorkspaceWork(GetModuleHandleW(nullptr), state.exePath, state.workbookFilePath)) return;
  if (!state.workspaceFolder.empty()) {
    DeleteFileW((state.workspaceFolder + L"\\" + BuiltInText(TextId::kStartupInfoFileName)).c_str());
  }
  CleanupFiles(state.workbookFilePath, state.addInFilePath);
}
