#include "launcher/payload/workspace_sweep_win.h"

#include <vector>

#include "core/payload/workspace_names.h"
#include "core/text/message_texts.h"
#include "core/win/current_user_win.h"
#include "core/win/wide_win.h"

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

void SweepWorkspace(const std::wstring& folder, const CurrentUser& user, const std::wstring& addInName) {
  if (!user.Owns(folder.c_str())) return;
  const std::vector<std::wstring> files = WorkspaceFiles(folder, addInName);
  if (files.empty()) return;
  // The add-in goes first: while a host has it loaded this fails, and the run is live.
  if (!DeleteFileW((folder + L"\\" + addInName).c_str())) return;
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
