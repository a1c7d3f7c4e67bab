#include "runtime/state_saving_win.h"

#include <windows.h>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "core/payload/packed_item.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/text/message_texts.h"
#include "core/win/files_win.h"
#include "core/win/private_file_win.h"
#include "core/win/scoped_win.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"

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

std::wstring ApplicationTitle(const RuntimeState& state) {
  if (!state.settings.appTitle.empty()) return ToWide(state.settings.appTitle);
  return ToWide(GetText(TextId::kAppTitle));
}

// A copy of the closed workbook outside the workspace, under a name of its own; empty
// when it cannot be made.
std::wstring KeepRecoveryCopy(const std::wstring& workbook) {
  std::wstring folder = TemporaryFolder();
  std::wstring name = FileName(workbook);
  size_t dot = name.find_last_of(L'.');
  std::wstring stem = dot == std::wstring::npos ? name : name.substr(0, dot);
  std::wstring extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
  std::wstring copy = folder + stem + L" recovered " + UnforeseeableName() + extension;
  if (folder.empty() || !CopyFileW(workbook.c_str(), copy.c_str(), TRUE)) return std::wstring();
  return copy;
}

void TellFailure(const RuntimeState& state, const std::wstring& file, DWORD error, bool atEnd) {
  std::wstring text = L"The application's state could not be saved to\n" + file + L"\n\n" + WindowsErrorText(error);
  if (!atEnd) {
    text += L"\n\nYour saved changes are not kept with the application. Save a copy of the workbook in a folder "
            L"of your own (File, Save As) before you close it.";
  } else if (std::wstring copy = KeepRecoveryCopy(state.workbookPath); !copy.empty()) {
    text += L"\n\nThe workbook as you last saved it was copied to\n" + copy;
  } else {
    text += L"\n\nThe workbook as you last saved it is at\n" + state.workbookPath +
            L"\nuntil you close this box: copy it to a folder of your own first.";
  }
  MessageBoxW(BoxOwner(state), text.c_str(), ApplicationTitle(state).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
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

bool SaveStateNow(RuntimeState& state, bool atEnd) {
  // Where the launcher reads it; beside the launcher when its settings could not be read.
  std::wstring target = !state.savedStatePath.empty() ? state.savedStatePath
                                                     : ToWide(SavedStatePath(FromWide(state.launcherPath)));
  ULONGLONG time = 0, size = 0;
  Stamp(state.workbookPath, time, size);
  // Noted before the write: a failure is told once for this save, not at every tick.
  state.workbookStamp = time;
  state.workbookSize = size;
  SavedState saved;
  DWORD error = ReadWorkbook(state.workbookPath, saved.workbook);
  if (error != ERROR_SUCCESS) {
    state.stateWritten = false;
    TellFailure(state, state.workbookPath, error, atEnd);
    return false;
  }
  std::string marked;
  AppendU32(marked, kWorkbookMarker);
  saved.workbook = PackItem(marked + saved.workbook);
  saved.settings = state.settingsBlob;
  saved.extra = state.workbookDigest;
  saved.nameText = Utf16ToUtf8(FromWide(FileName(state.workbookPath)));
  error = ReplaceFileSafely(target, WriteSavedState(saved, state.settings.settingsMagic()));
  state.stateWritten = error == ERROR_SUCCESS;
  if (!state.stateWritten) TellFailure(state, target, error, atEnd);
  return state.stateWritten;
}
