#include "launcher/app/cleanup_win.h"

#include <windows.h>

#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "launcher/payload/files_win.h"

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

std::wstring FolderOf(const std::wstring& path) {
  wchar_t drive[260] = {}, folder[260] = {}, name[260] = {}, extension[260] = {};
  _wsplitpath_s(path.c_str(), drive, 260, folder, 260, name, 260, extension, 260);
  return std::wstring(drive) + folder;
}

std::wstring LongTempFolder() {
  wchar_t temp[512] = {};
  GetTempPathW(512, temp);
  wchar_t longTemp[1024] = {};
  GetLongPathNameW(temp, longTemp, 1024);
  return longTemp;
}

}  // namespace

void CleanupFiles(const std::wstring& first, const std::wstring& second) {
  DeleteWithRetries(first);
  DeleteWithRetries(second);
  if (second.empty()) return;

  std::wstring folder = FolderOf(second);
  if (folder.empty() || _wcsicmp(folder.c_str(), LongTempFolder().c_str()) == 0) return;
  if (Exists(folder)) _wrmdir(folder.c_str());
}
