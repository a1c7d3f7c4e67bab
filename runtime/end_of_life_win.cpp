#include "runtime/end_of_life_win.h"

#include <windows.h>

#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_saving_win.h"

namespace {

// The resident launcher waits for this event; it then removes the workspace files, retrying
// while the host still holds them.
void SignalResidentLauncher(const RuntimeState& state) {
  std::wstring name = ToWide(ResidentEventName(state.launcherProcessId));
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
  if (!event) return;
  SetEvent(event);
  CloseHandle(event);
}

// Saved-state mode as the settings say; when they could not be read, as the launcher shows
// it by waiting on its resident event.
bool InSavedStateMode(const RuntimeState& state) {
  if (state.settingsRead) return (state.settings.optionFlags() & OPT_SAVED_STATE) != 0;
  std::wstring name = ToWide(ResidentEventName(state.launcherProcessId));
  HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
  if (event) CloseHandle(event);
  return event != nullptr;
}

}  // namespace

void EndApplicationLife(RuntimeState& state) {
  RuntimePhase phase = state.phase;
  if (phase == RuntimePhase::kEnded) return;
  state.phase = RuntimePhase::kEnded;
  // Before 1171 the workspace is still the launcher's, which removes it after a failed launch.
  if (phase == RuntimePhase::kIdle || phase == RuntimePhase::kLinked) return;
  if (InSavedStateMode(state)) {
    // Only a workbook the user had keeps its state: a refused one leaves the last saved
    // state as it was. Every save has been written already; the last one may have come
    // after the watch's last look. A failed write has been told to the user (and the
    // work kept at the state's recovery place) before the resident launcher may remove
    // the workspace.
    if (phase == RuntimePhase::kRunning) SaveStateAtEnd(state);
    SignalResidentLauncher(state);
  }
  // Outside saved-state mode nothing is left to do here: the launcher's watcher removes
  // the workspace once the host's process has ended, and the runtime starts no process.
}
