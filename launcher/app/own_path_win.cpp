#include "launcher/app/own_path_win.h"

#include <windows.h>

#include <algorithm>

#include "core/win/files_win.h"

std::wstring OwnModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    // A path that fills the buffer may have been cut: grow and ask again.
    if (length < path.size()) {
      path.resize(length);
      return LongPathForm(path);
    }
    if (path.size() >= 32768) return std::wstring();  // longer than any Windows path
    path.resize(path.size() * 2);
  }
}

std::wstring SingleInstanceMutexName(const std::wstring& path) {
  std::wstring name = path;
  // Upper case as the file system compares names: the invariant culture's mapping.
  if (!name.empty()) {
    const int length = static_cast<int>(name.size());
    std::wstring upper(name.size(), L'\0');
    if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.data(), length, upper.data(), length) == length) {
      name = std::move(upper);
    }
  }
  std::replace(name.begin(), name.end(), L'\\', L'_');
  return name;
}
