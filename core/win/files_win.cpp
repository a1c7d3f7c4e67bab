#include "core/win/files_win.h"

#include <windows.h>

#include <stdio.h>

bool IsExistingFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  bool written = fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  fclose(file);
  return written;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  bool complete = !ferror(file);
  fclose(file);
  return complete;
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

std::wstring LongPathForm(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring longForm = GrownText(
      [&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(path.c_str(), buffer, size); }, path.size() + 1);
  return longForm.empty() ? path : longForm;
}

std::wstring TemporaryFolder() {
  return GrownText([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }, MAX_PATH + 1);
}
