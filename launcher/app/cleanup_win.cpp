#include "launcher/app/cleanup_win.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <string.h>

#include "core/win/files_win.h"

namespace {

bool Exists(const std::wstring& path) { return !path.empty() && _waccess(path.c_str(), 0) == 0; }

// The host may still hold the file for a while after it lets go of the workbook.
void DeleteWithRetries(const std::wstring& path) {
  if (!Exists(path)) return;
  for (int attempt = 0; attempt < kDeleteAttempts; ++attempt) {
    if (!IsExistingFile(path)) return;
    if (_wremove(path.c_str()) == 0) return;
    Sleep(kDeleteRetryPauseMs);
  }
}

// The folder part with its final separator, split at the last backslash or slash, of
// any length (the C runtime's _wsplitpath_s gives up at 260 characters, and its
// invalid-parameter handler may end the process).
std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring LongTempFolder() { return LongPathForm(TemporaryFolder()); }

}  // namespace

void CleanupFiles(const std::wstring& first, const std::wstring& second) {
  DeleteWithRetries(first);
  DeleteWithRetries(second);
  if (second.empty()) return;

  std::wstring folder = FolderOf(second);
  if (folder.empty() || _wcsicmp(folder.c_str(), LongTempFolder().c_str()) == 0) return;
  if (Exists(folder)) _wrmdir(folder.c_str());
}
