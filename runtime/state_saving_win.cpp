#include "runtime/state_saving_win.h"

#include <windows.h>

#include <memory>

#include "core/payload/encrypted_workbook.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/win/files_win.h"
#include "core/win/scoped_win.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_failure_win.h"
#include "runtime/workbook_protection_win.h"

namespace {

constexpr DWORD kHeldFileWaitMs = 4000;  // the host or a scanner still writing the workbook
constexpr DWORD kHeldFileRetryMs = 100;

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

// What a save hands the thread that writes the state, and what that thread hands back.
// The thread touches nothing else: the runtime's state and the host's objects belong to
// the host's thread.
struct StateSave {
  std::wstring source;  // the workbook file
  std::wstring target;  // the saved-state file
  std::u16string fileName;  // the workbook's name in the workspace, which the state keeps
  std::string settings;
  std::string workbookDigest;
  uint32_t settingsMagic = 0;
  bool protectsWorkbook = false;
  // Answers: the workbook file could not be read, it was in the clear, or the state file
  // could not be written (ERROR_SUCCESS: all went well).
  DWORD readError = ERROR_SUCCESS;
  bool inTheClear = false;
  DWORD writeError = ERROR_SUCCESS;
  std::string stateBytes;  // kept only when the write failed: the recovery place takes them
};

namespace {

DWORD WINAPI WriteState(void* context) {
  StateSave& save = *static_cast<StateSave*>(context);
  std::string workbook;
  save.readError = ReadWorkbook(save.source, workbook);
  if (save.readError != ERROR_SUCCESS) return 0;
  if (save.protectsWorkbook && !IsPasswordEncryptedWorkbook(workbook)) {
    SecureZeroMemory(workbook.data(), workbook.size());
    save.inTheClear = true;
    return 0;
  }
  save.stateBytes = WorkbookSavedState(workbook, save.fileName, save.settings, save.workbookDigest,
                                       save.settingsMagic);
  std::string().swap(workbook);
  save.writeError = ReplaceFileSafely(save.target, save.stateBytes);
  // Let go here, not in the host's thread, which drops the last reference.
  if (save.writeError == ERROR_SUCCESS) std::string().swap(save.stateBytes);
  return 0;
}

// The answer of a save whose thread has ended, acted on in the host's thread.
void TakeAnswer(RuntimeState& state, const StateSave& save, bool atEnd) {
  if (save.readError != ERROR_SUCCESS) {
    state.stateWritten = false;
    TellStateNotWritten(state, save.source, save.readError, std::string());
  } else if (save.inTheClear) {
    if (!KeepWorkbookProtected(state, atEnd)) {
      state.workbookStamp = 0;  // the host was busy: taken again at the next look
      return;
    }
    // The state keeps the last save made with the password; nothing is left to write for
    // this one (the host's save with the password put back is a save of its own).
    state.stateWritten = true;
  } else {
    state.stateWritten = save.writeError == ERROR_SUCCESS;
    if (!state.stateWritten) TellStateNotWritten(state, save.target, save.writeError, save.stateBytes);
  }
}

// Takes the answer of the save under way when its thread has ended, or, with `wait`, once
// it has. False when one is still under way.
bool TakeFinishedSave(RuntimeState& state, bool wait, bool atEnd) {
  if (!state.saveThread) return true;
  if (WaitForSingleObject(state.saveThread.get(), wait ? INFINITE : 0) != WAIT_OBJECT_0) return false;
  state.saveThread.reset();
  std::shared_ptr<StateSave> save = std::move(state.stateSave);
  TakeAnswer(state, *save, atEnd);
  return true;
}

// Starts the write of the state from the workbook file as it is on disk now.
void StartSave(RuntimeState& state, bool atEnd) {
  ULONGLONG time = 0, size = 0;
  Stamp(state.savedFrom, time, size);
  // Noted before the write: a failure is told once for this save, not at every look.
  state.workbookStamp = time;
  state.workbookSize = size;
  auto save = std::make_shared<StateSave>();
  save->source = state.savedFrom;
  // Where the launcher reads it; beside the launcher when its settings could not be read.
  save->target = !state.savedStatePath.empty() ? state.savedStatePath
                                              : ToWide(SavedStatePath(FromWide(state.launcherPath)));
  save->settings = state.settingsBlob;
  save->workbookDigest = state.workbookDigest;
  save->fileName = FromWide(FileNameOf(state.workbookPath));
  save->settingsMagic = state.settings.settingsMagic();
  save->protectsWorkbook = state.protectsWorkbook;
  state.saveThread.reset(CreateThread(nullptr, 0, WriteState, save.get(), 0, nullptr));
  if (!state.saveThread) {
    // No thread to spare: written here, as before there was one.
    WriteState(save.get());
    TakeAnswer(state, *save, atEnd);
    return;
  }
  state.stateSave = std::move(save);
}

bool Changed(const RuntimeState& state) {
  ULONGLONG time = 0, size = 0;
  return Stamp(state.savedFrom, time, size) && (time != state.workbookStamp || size != state.workbookSize);
}

}  // namespace

bool SavesState(const RuntimeState& state) {
  return state.settingsRead && !state.settingsBlob.empty() && (state.settings.optionFlags() & OPT_SAVED_STATE) != 0;
}

void NoteWorkbookOnDisk(RuntimeState& state) {
  state.savedFrom = state.workbookPath;
  state.hostName = state.workbookPath;
  Stamp(state.savedFrom, state.workbookStamp, state.workbookSize);
}

void SaveStateAfterUserSave(RuntimeState& state) {
  if (!SavesState(state)) return;
  // One save at a time: one that comes meanwhile is seen once the one under way has ended.
  if (!TakeFinishedSave(state, false, false)) return;
  if (Changed(state)) StartSave(state, false);
}

bool SaveStateAtEnd(RuntimeState& state) {
  if (!SavesState(state)) return false;
  TakeFinishedSave(state, true, true);
  if (Changed(state) || !state.stateWritten) {
    StartSave(state, true);
    TakeFinishedSave(state, true, true);
  }
  return state.stateWritten;
}
