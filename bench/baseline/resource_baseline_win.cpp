// The floor for the launcher's own work: loads the items a launch writes from a packaged
// application's resources, inflates them and writes them to files in a folder under the
// temporary folder, then removes them. No host, no add-in, no windows.
// With --start-host it only starts the spreadsheet host through COM and lets it go:
// what the launcher waits for before its first host call.
//
//   resource-baseline.exe APP.exe
//   resource-baseline.exe --start-host
#include <windows.h>
#include <oleauto.h>

#include <stdio.h>

#include <string>

#include "core/payload/item_ids.h"
#include "core/payload/packed_item.h"

namespace {

bool LoadItem(HMODULE module, int id, std::string& out) {
  std::wstring name = L"#" + std::to_wstring(id);
  HRSRC resource = FindResourceW(module, name.c_str(), L"EXTRSC");
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DWORD size = SizeofResource(module, resource);
  if (!data || size == 0) return false;
  out.assign(static_cast<const char*>(data), size);
  return InflatePackedItem(out);
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  bool written = fwrite(bytes.data(), bytes.size(), 1, file) == 1;
  fclose(file);
  return written;
}

int StartHost() {
  CoInitialize(nullptr);
  CLSID host;
  IDispatch* application = nullptr;
  HRESULT result = CLSIDFromProgID(L"Excel.Application", &host);
  if (SUCCEEDED(result)) {
    result = CoCreateInstance(host, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&application));
  }
  if (application) application->Release();
  CoUninitialize();
  return SUCCEEDED(result) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: resource-baseline APP.exe | --start-host\n");
    return 2;
  }
  if (std::wstring(argv[1]) == L"--start-host") return StartHost();
  HMODULE app = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!app) return 1;

  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"resource-baseline-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);

  int written = 0;
  for (int id : {ItemId::kSettings, ItemId::kAddIn64, ItemId::kWorkbook, ItemId::kLoaderWorkbook}) {
    std::string bytes;
    if (!LoadItem(app, id, bytes)) continue;
    std::wstring path = folder + L"\\" + std::to_wstring(id) + L".bin";
    if (WriteWhole(path, bytes)) ++written;
    DeleteFileW(path.c_str());
  }
  RemoveDirectoryW(folder.c_str());
  FreeLibrary(app);
  return written == 4 ? 0 : 1;
}
