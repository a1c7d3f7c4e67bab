#include "runtime/end_of_life_win.h"

#include <windows.h>

#include "core/win/wide_win.h"
#include "core/encoding/byte_io.h"
#include "core/win/files_win.h"
#include "core/text/message_texts.h"
#include "core/payload/packed_item.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/encoding/utf.h"
#include "runtime/runtime_state_win.h"

namespace {

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

// The workbook as the user last saved it, with the settings the application ran with.
void WriteSavedStateFile(const RuntimeState& state) {
  SavedState saved;
  if (!ReadWholeFile(state.workbookPath, saved.workbook)) return;
  std::string marked;
  AppendU32(marked, kWorkbookMarker);
  saved.workbook = PackItem(marked + saved.workbook);
  saved.settings = state.settingsBlob;
  saved.nameText = Utf16ToUtf8(FromWide(FileName(state.workbookPath)));
  if (state.savedStatePath.empty()) return;
  ReplaceFileAtomically(state.savedStatePath, WriteSavedState(saved, state.settings.settingsMagic()));
}

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
    // state as it was.
    if (phase == RuntimePhase::kRunning && state.settingsRead && !state.settingsBlob.empty()) {
      WriteSavedStateFile(state);
    }
    SignalResidentLauncher(state);
  }
  // Outside saved-state mode nothing is left to do here: the launcher's watcher removes
  // the workspace once the host's process has ended, and the runtime starts no process.
}
