#include "runtime/launcher_link_win.h"

#include "core/payload/saved_state_load_win.h"
#include "runtime/runtime_state_win.h"

namespace {

std::wstring ProcessImagePath(HANDLE process) {
  std::wstring path(32768, L'\0');  // the longest path Windows has
  DWORD length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return std::wstring();
  path.resize(length);
  return path;
}

}  // namespace

void LinkLauncherProcess(RuntimeState& state, DWORD processId) {
  state.launcherProcessId = processId;
  state.launcherProcess.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  state.launcherPath = state.launcherProcess ? ProcessImagePath(state.launcherProcess.get()) : std::wstring();
}

void ReadLauncherSettings(RuntimeState& state) {
  if (state.launcherPath.empty()) return;
  // As a data file: no code of the launcher's runs in the host, and its resources are all
  // that is read.
  HMODULE launcher = LoadLibraryExW(state.launcherPath.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!launcher) return;
  std::string blob;
  AppSettings settings;
  std::string savedWorkbook;  // the launcher has written it into the workspace already
  LoadSettingsRecord(launcher, state.launcherPath, blob, settings, savedWorkbook);
  FreeLibrary(launcher);
  state.settingsBlob = std::move(blob);
  state.settings = settings;
  state.settingsRead = true;
}
