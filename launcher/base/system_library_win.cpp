#include "launcher/base/system_library_win.h"

#include <string>

#include "core/win/files_win.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 and SetDefaultDllDirectories came with KB2533623 for
// Windows Vista and 7: both are looked up at run time, so that the launcher still
// starts without them.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);

SetDefaultDllDirectoriesFn SetDefaultDllDirectoriesFunction() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

}  // namespace

void RestrictLibrarySearch() {
  if (SetDefaultDllDirectoriesFn restrict = SetDefaultDllDirectoriesFunction()) {
    if (restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  if (HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  // Without KB2533623 the flag is refused as an invalid parameter: the full path of
  // the system folder's copy then names the library, and the altered search order
  // looks for its own dependencies beside it first.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  const std::wstring folder = GrownText(
      [](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); }, MAX_PATH + 1);
  if (folder.empty()) return nullptr;
  const std::wstring path = folder + L"\\" + fileName;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void LoadIndirectSystemLibraries() {
  // Under Wine GDI+ delay-loads the codecs, and a delay-load searches the folder of the
  // executable first whatever SetDefaultDllDirectories said; the codecs' own imports
  // (propsys.dll) are then looked up beside wherever the codecs were found.
  LoadSystemLibrary(L"windowscodecs.dll");
}
