#include "launcher/app/resident_win.h"

#include <windows.h>

#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"

namespace {

// The host's process, opened while its window is known to be alive, so that the
// handle cannot come to name another process that reused the id. Null without a host
// window, or when the process cannot be opened.
HANDLE OpenHostProcess(HWND hostWindow) {
  if (!hostWindow) return nullptr;
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(hostWindow, &processId) || processId == 0) return nullptr;
  return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

}  // namespace

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
  state.hostProcess.reset(OpenHostProcess(state.hostWindow));
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
  if (!state.HasOption(OPT_SAVED_STATE) || !state.residentEvent || state.eventSeen.load()) return;
  // Without a host window no message, 1159 included, reached the add-in: it cannot know
  // the event's name.
  if (!state.hostWindow) return;
  if (!state.hostProcess) {
    // The host's process could not be opened (it runs under another account): the wait
    // is on the event alone, as the add-in's signal is all there is to go by.
    WaitForSingleObject(state.residentEvent.get(), INFINITE);
    return;
  }
  // Whichever comes first: the add-in's signal, or the end of the host's process (the
  // add-in never loaded, or the host crashed or was killed). The launcher then cleans
  // up as after a signal.
  const HANDLE handles[] = {state.residentEvent.get(), state.hostProcess.get()};
  WaitForMultipleObjects(2, handles, FALSE, INFINITE);
}
