#include "core/payload/resources_win.h"

#include "core/text/message_texts.h"
#include "core/payload/packed_item.h"

bool LoadPackedItem(HMODULE module, int id, std::string& out) {
  // The type name is kept with the built-in texts, not as a literal in the code.
  std::u16string type = GetText(TextId::kResourceType);
  std::wstring name = L"#" + std::to_wstring(id);
  HRSRC resource = FindResourceW(module, name.c_str(), reinterpret_cast<const wchar_t*>(type.c_str()));
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) return false;
  const void* data = LockResource(loaded);
  DWORD size = SizeofResource(module, resource);
  if (!data || size == 0) return false;
  out.assign(static_cast<const char*>(data), size);
  return true;
}

bool ReadPackedItem(HMODULE module, int id, std::string& out) {
  if (!LoadPackedItem(module, id, out)) return false;
  return InflatePackedItem(out);
}

bool LoadPackedItem(int id, std::string& out) { return LoadPackedItem(GetModuleHandleW(nullptr), id, out); }

bool ReadPackedItem(int id, std::string& out) { return ReadPackedItem(GetModuleHandleW(nullptr), id, out); }
