#include "runtime/workbook_key_win.h"

#include <windows.h>

#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/workbook_key.h"

std::wstring ReadWorkbookPassword(const std::wstring& launcherPath) {
  if (launcherPath.empty()) return {};
  HMODULE launcher =
      LoadLibraryExW(launcherPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!launcher) return {};
  std::string item;
  const bool found = ReadPackedItem(launcher, ItemId::kWorkbookKey, item);
  FreeLibrary(launcher);
  if (!found) return {};
  const std::optional<std::string> password = UnmaskWorkbookKey(item);
  SecureZeroMemory(item.data(), item.size());
  if (!password) return {};
  return std::wstring(password->begin(), password->end());  // printable ASCII
}
