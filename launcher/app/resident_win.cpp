#include "launcher/app/resident_win.h"

#include <windows.h>

#include "launcher/app/launcher_state_win.h"
#include "launcher/app/wide_win.h"
#include "launcher/payload/message_texts.h"

// The event is manual-reset and is reset only here, before the add-in can know its
// name (it learns the process id from the first message after this). From then on
// nobody resets it, so a signal, once given, ends every wait whenever it starts.
void CreateResidentEvent(LauncherState& state) {
  std::wstring name = ToWide(ResidentEventName(GetCurrentProcessId()));
  state.residentEvent.reset(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!state.residentEvent) return;
  ResetEvent(state.residentEvent.get());
  state.eventWatcher = std::make_unique<std::thread>(WatchResidentEvent, std::ref(state));
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
  WaitForSingleObject(state.residentEvent.get(), INFINITE);
}
