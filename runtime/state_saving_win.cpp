#include "runtime/state_saving_win.h"

#include <windows.h>

#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/win/scoped_win.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_failure_win.h"

namespace {

constexpr DWORD kHeldFileWaitMs = 4000;  // the host or a scanner still writing the workbook
constexpr DWORD kHeldFileRetryMs = 100;

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

bool Stamp(const std::wstring& path, ULONGLONG& time, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  time = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// The whole workbook file, read while others may hold it open; a file held without
// sharing is waited for a few seconds. ERROR_SUCCESS or the Windows error.
DWORD ReadWorkbook(const std::wstring& path, std::string& bytes) {
  const DWORD started = GetTickCount();
  ScopedHandle file;
  for (;;) {
    file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) break;
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || GetTickCount() - started >= kHeldFileWaitMs) return error;
    Sleep(kHeldFileRetryMs);
  }
  bytes.clear();
  char buffer[65536];
  DWORD got = 0;
  for (;;) {
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return GetLastError();
    if (got == 0) return ERROR_SUCCESS;
    bytes.append(buffer, got);
  }
}

}  // namespace

bool SavesState(const RuntimeState& state) {
  return state.settingsRead && !state.settingsBlob.empty() && (state.settings.optionFlags() & OPT_SAVED_STATE) != 0;
}

void NoteWorkbookOnDisk(RuntimeState& state) {
  Stamp(state.workbookPath, state.workbookStamp, state.workbookSize);
}

void SaveStateAfterUserSave(RuntimeState& state) {
  if (!SavesState(state)) return;
  ULONGLONG time = 0, size = 0;
  if (!Stamp(state.workbookPath, time, size)) return;
  if (time == state.workbookStamp && size == state.workbookSize) return;
  SaveStateNow(state);
}

bool SaveStateNow(RuntimeState& state) {
  // Where the launcher reads it; beside the launcher when its settings could not be read.
  std::wstring target = !state.savedStatePath.empty() ? state.savedStatePath
                                                     : ToWide(SavedStatePath(FromWide(state.launcherPath)));
  ULONGLONG time = 0, size = 0;
  Stamp(state.workbookPath, time, size);
  // Noted before the write: a failure is told once for this save, not at every tick.
  state.workbookStamp = time;
  state.workbookSize = size;
  std::string workbook;
  DWORD error = ReadWorkbook(state.workbookPath, workbook);
  if (error != ERROR_SUCCESS) {
    state.stateWritten = false;
    TellStateNotWritten(state, state.workbookPath, error, std::string());
    return false;
  }
  const std::string bytes = WorkbookSavedState(workbook, FromWide(FileName(state.workbookPath)), state.settingsBlob,
                                               state.workbookDigest, state.settings.settingsMagic());
  error = ReplaceFileSafely(target, bytes);
  state.stateWritten = error == ERROR_SUCCESS;
  if (!state.stateWritten) TellStateNotWritten(state, target, error, bytes);
  return state.stateWritten;
}
