#include "launcher/base/macro_sources_win.h"

#include <windows.h>
#include <shlobj.h>

#include "core/win/wide_win.h"

std::optional<std::u16string> LookUpShellFolder(int csidl) {
  wchar_t path[512] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::nullopt;
  return FromWide(path);
}

std::string ToAnsiCodePage(const std::u16string& text) {
  if (text.empty()) return {};
  std::wstring wide = ToWide(text);
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
  return out;
}
