#include "runtime/launcher_link_win.h"

#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state_load_win.h"
#include "core/win/files_win.h"
#include "runtime/runtime_state_win.h"

namespace {

std::wstring ProcessImagePath(HANDLE process) {
  std::wstring path(32768, L'\0');  // the longest path Windows has
  DWORD length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process, 0, path.data(), &length)) return std::wstring();
  path.resize(length);
  return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  const std::wstring longA = LongPathForm(a), longB = LongPathForm(b);
  return !longA.empty() && CompareStringOrdinal(longA.c_str(), static_cast<int>(longA.size()), longB.c_str(),
                                                static_cast<int>(longB.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

void LinkLauncherProcess(RuntimeState& state, DWORD processId) {
  // Any process on the desktop can send the host's window a message: only the launcher
  // the start-up information names, running the executable it names, is taken.
  if (processId == 0 || processId != state.namedLauncherId) return;
  ScopedHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return;
  std::wstring path = ProcessImagePath(process.get());
  if (path.empty() || !SamePath(path, state.namedLauncherPath)) return;
  // Read and run from again later (its settings, the saved state beside it): nobody may
  // write, rename or delete it while it is relied on.
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  state.launcherProcessId = processId;
  state.launcherProcess = std::move(process);
  state.launcherPath = std::move(path);
  state.launcherFile = std::move(file);
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
  LoadSettingsRecord(launcher, state.launcherPath, blob, settings, savedWorkbook, &state.savedStatePath);
  ReadPackedItem(launcher, ItemId::kWorkbookDigest, state.workbookDigest);
  FreeLibrary(launcher);
  state.settingsBlob = std::move(blob);
  state.settings = settings;
  state.settingsRead = true;
}
