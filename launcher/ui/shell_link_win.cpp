#include "launcher/ui/shell_link_win.h"

#include <windows.h>
#include <shellapi.h>

#include "core/win/wide_win.h"
#include "core/messages/contact_link.h"

bool OpenLinkInShell(const std::u16string& link) {
  const std::u16string allowed = ShellLinkTarget(link);
  if (allowed.empty()) return false;
  const std::wstring target = ToWide(allowed);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.nShow = SW_SHOW;
  return ShellExecuteExW(&info) != FALSE;
}
