#include "core/payload/saved_state_carry_win.h"

#include <optional>

#include "core/payload/app_settings.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/payload/saved_state_location_win.h"
#include "core/payload/saved_state_update_win.h"
#include "core/win/current_user_win.h"
#include "core/win/files_win.h"
#include "core/win/owned_file_win.h"

namespace {

std::optional<ULONGLONG> LastWritten(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// The version of the build that wrote the state, which names its set-aside file; 0 when
// the state cannot be read.
uint32_t WriterVersion(const std::wstring& statePath, uint32_t settingsMagic) {
  std::optional<SavedState> saved = ReadSavedStateFile(statePath, settingsMagic);
  if (!saved) return 0;
  AppSettings settings;
  ParseAppSettings(saved->settings, settings);
  return settings.appVersion();
}

}  // namespace

bool WrittenAfter(const std::wstring& path, const std::wstring& than) {
  const std::optional<ULONGLONG> written = LastWritten(path);
  const std::optional<ULONGLONG> other = LastWritten(than);
  return written && (!other || *written > *other);
}

bool CarryIntoState(const std::wstring& statePath, const std::string& stateBytes, uint32_t settingsMagic) {
  if (statePath.empty()) return false;
  if (!IsExistingFile(statePath)) return ReplaceFileSafely(statePath, stateBytes) == ERROR_SUCCESS;
  const std::wstring setAside = FreeSetAsidePath(statePath, WriterVersion(statePath, settingsMagic));
  if (!MoveFileExW(statePath.c_str(), setAside.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
  if (ReplaceFileSafely(statePath, stateBytes) == ERROR_SUCCESS) return true;
  MoveFileExW(setAside.c_str(), statePath.c_str(), MOVEFILE_WRITE_THROUGH);
  return false;
}

std::wstring WriteRecoveryState(const std::wstring& statePath, const std::string& stateBytes) {
  const std::wstring recovery = RecoveryStatePath(statePath);
  if (recovery.empty() || ReplaceFileSafely(recovery, stateBytes) != ERROR_SUCCESS) return std::wstring();
  return recovery;
}

std::wstring KeepWorkInState(const std::wstring& statePath, const std::string& stateBytes, uint32_t settingsMagic) {
  if (CarryIntoState(statePath, stateBytes, settingsMagic)) return statePath;
  return WriteRecoveryState(statePath, stateBytes);
}

std::wstring StateToRead(const std::wstring& writePath, const std::wstring& readPath, uint32_t settingsMagic,
                         bool carry) {
  const std::wstring recovery = RecoveryStatePath(writePath);
  if (recovery.empty() || !IsExistingFile(recovery)) return readPath;
  if (!readPath.empty() && !WrittenAfter(recovery, readPath)) {
    if (carry) DeleteFileW(recovery.c_str());
    return readPath;
  }
  // The read that follows checks the owner on the handle it reads from.
  if (!carry) return recovery;
  const std::optional<std::string> bytes = ReadOwnedFile(recovery, CurrentUser());
  if (!bytes || !ParseSavedState(*bytes, settingsMagic)) return readPath;
  if (!CarryIntoState(writePath, *bytes, settingsMagic)) return recovery;
  DeleteFileW(recovery.c_str());
  return writePath;
}
