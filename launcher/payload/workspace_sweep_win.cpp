#include "launcher/payload/workspace_sweep_win.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "core/payload/workspace_names.h"
#include "core/text/message_texts.h"
#include "core/win/current_user_win.h"
#include "core/win/files_win.h"
#include "core/win/wide_win.h"
#include "launcher/payload/work_recovery_win.h"

namespace {

// A find handle, closed with FindClose.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool IsDotEntry(const wchar_t* name) { return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0; }

ULONGLONG Ticks(const FILETIME& time) { return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

ULONGLONG Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return Ticks(now);
}

// The folder's file names when it holds only what a workspace holds, its add-in written
// long enough ago; empty otherwise.
std::vector<std::wstring> WorkspaceFiles(const std::wstring& folder, const std::wstring& addInName) {
  WIN32_FIND_DATAW found;
  FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (find.get() == INVALID_HANDLE_VALUE) return {};
  std::vector<std::wstring> files;
  bool addInOldEnough = false;
  do {
    if (IsDotEntry(found.cFileName)) continue;
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return {};
    if (!IsWorkspaceFileName(FromWide(found.cFileName))) return {};
    if (_wcsicmp(found.cFileName, addInName.c_str()) == 0) {
      const ULONGLONG written = Ticks(found.ftLastWriteTime);
      addInOldEnough = Now() > written && (Now() - written) / 10000 >= kSweepMinimumAgeMs;
    }
    files.push_back(found.cFileName);
  } while (FindNextFileW(find.get(), &found));
  return addInOldEnough ? files : std::vector<std::wstring>();
}

// The run a saved-state launcher leaves its start-up information with: the launcher, and
// the workbook it wrote, when that is one of the folder's own files. Empty paths when the
// file is missing or not the launcher's.
StartupInfo RunOf(const std::wstring& folder, const std::vector<std::wstring>& files) {
  std::string bytes;
  StartupInfo info;
  if (!ReadWholeFile(folder + L"\\" + ToWide(GetText(TextId::kStartupInfoFileName)), bytes)) return info;
  try {
    info = ParseStartupInfo(bytes);
  } catch (const std::exception&) {
    return StartupInfo();
  }
  const std::wstring workbook = ToWide(info.workbookPath);
  const size_t slash = workbook.find_last_of(L'\\');
  const bool inFolder = slash != std::wstring::npos && _wcsicmp(workbook.substr(0, slash).c_str(), folder.c_str()) == 0;
  const auto named = [&](const std::wstring& file) { return _wcsicmp(file.c_str(), workbook.c_str() + slash + 1) == 0; };
  if (!inFolder || std::none_of(files.begin(), files.end(), named)) info.workbookPath.clear();
  return info;
}

// The dead run's last save, carried into its application's state; false when it could
// be kept nowhere. A launcher that cannot be read (moved, or on a drive not there now)
// leaves nothing to carry: its caller keeps the workspace until it can be read.
bool CarryDeadRunsWork(const StartupInfo& run) {
  const std::wstring launcherPath = ToWide(run.launcherPath);
  HMODULE launcher = LoadLibraryExW(launcherPath.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!launcher) return false;
  const bool kept = CarryWorkspaceWork(launcher, launcherPath, ToWide(run.workbookPath));
  FreeLibrary(launcher);
  return kept;
}

void SweepWorkspace(const std::wstring& folder, const CurrentUser& user, const std::wstring& addInName) {
  if (!user.Owns(folder.c_str())) return;
  const std::vector<std::wstring> files = WorkspaceFiles(folder, addInName);
  if (files.empty()) return;
  const StartupInfo run = RunOf(folder, files);
  const bool workToCarry = !run.workbookPath.empty() && !run.launcherPath.empty();
  if (workToCarry && !IsExistingFile(ToWide(run.launcherPath))) return;
  // The add-in goes first: while a host has it loaded this fails, and the run is live.
  if (!DeleteFileW((folder + L"\\" + addInName).c_str())) return;
  if (workToCarry && !CarryDeadRunsWork(run)) return;
  for (const std::wstring& file : files) {
    if (_wcsicmp(file.c_str(), addInName.c_str()) != 0) DeleteFileW((folder + L"\\" + file).c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

void SweepEarlierWorkspaces(const std::wstring& temporaryFolder) {
  if (temporaryFolder.empty()) return;
  const CurrentUser user;
  if (!user.sid()) return;
  std::wstring base = temporaryFolder;
  if (base.back() != L'\\') base += L'\\';
  const std::wstring addInName = ToWide(GetText(TextId::kAddInFileName));
  WIN32_FIND_DATAW found;
  FindHandle find(FindFirstFileExW((base + L"*").c_str(), FindExInfoBasic, &found, FindExSearchLimitToDirectories,
                                   nullptr, 0));
  if (find.get() == INVALID_HANDLE_VALUE) return;
  do {
    const bool plainFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                             !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (plainFolder && IsWorkspaceFolderName(FromWide(found.cFileName))) {
      SweepWorkspace(base + found.cFileName, user, addInName);
    }
  } while (FindNextFileW(find.get(), &found));
}
