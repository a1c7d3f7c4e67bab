#include "testkit/fakehost/registration_win.h"

#include <objbase.h>

#include <string>

#include "core/win/scoped_win.h"
#include "testkit/common/scenario_win.h"

namespace {

constexpr wchar_t kProgId[] = L"Excel.Application";

std::wstring ClsidText() {
  wchar_t text[64] = {};
  StringFromGUID2(kFakeHostClsid, text, 64);
  return text;
}

bool SetDefaultValue(const std::wstring& keyPath, const std::wstring& value) {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

}  // namespace

bool RegisterServer() {
  std::wstring clsid = ClsidText();
  std::wstring classKey = L"CLSID\\" + clsid;
  return SetDefaultValue(classKey, L"Sheetpack stand-in spreadsheet host") &&
         SetDefaultValue(classKey + L"\\LocalServer32", L"\"" + ModulePath(nullptr) + L"\"") &&
         SetDefaultValue(classKey + L"\\ProgID", kProgId) && SetDefaultValue(std::wstring(kProgId), L"Spreadsheet host") &&
         SetDefaultValue(std::wstring(kProgId) + L"\\CLSID", clsid);
}

bool UnregisterServer() {
  bool classGone = RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClsidText()).c_str()) == ERROR_SUCCESS;
  bool progIdGone = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId) == ERROR_SUCCESS;
  return classGone && progIdGone;
}
