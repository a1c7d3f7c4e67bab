#include "launcher/payload/workspace_win.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <io.h>
#include <stdio.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "launcher/base/launcher_state_win.h"
#include "core/win/current_user_win.h"
#include "core/win/wide_win.h"
#include "core/payload/item_ids.h"
#include "core/win/files_win.h"
#include "core/text/message_texts.h"
#include "core/payload/packed_item.h"
#include "core/payload/resources_win.h"
#include "core/payload/workspace_names.h"

namespace {

bool Accessible(const std::wstring& path, int mode = 0) {
  return !path.empty() && _waccess(path.c_str(), mode) == 0;
}

std::wstring RandomName() {
  std::u16string name;
  MakeRandomName(8, name, rand);
  return ToWide(name);
}

std::wstring WithBackslash(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

// A security descriptor that grants the current user, and nobody else, full access,
// without inheriting anything from the temporary folder.
struct OwnerOnlyDescriptor {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ~OwnerOnlyDescriptor() { LocalFree(descriptor); }

  bool Build() {
    const CurrentUser user;
    wchar_t* sid = nullptr;
    if (!user.sid() || !ConvertSidToStringSidW(user.sid(), &sid)) return false;
    std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
    LocalFree(sid);
    return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr) != FALSE;
  }
};

// The registry keeps the system's temporary folder with a placeholder for the
// Windows folder.
std::wstring SystemTempSetting() {
  ScopedRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, BuiltInText(TextId::kTempRegistryKey).c_str(), 0, KEY_READ, key.put()) !=
      ERROR_SUCCESS) {
    return {};
  }
  wchar_t value[512] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), L"TEMP", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring result = value;
  std::wstring token = BuiltInText(TextId::kTempRegistryToken);
  size_t at = token.empty() ? std::wstring::npos : result.find(token);
  if (at != std::wstring::npos) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    result.replace(at, token.size(), windows);
  }
  return result;
}

std::wstring EnvironmentValue(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value ? value : L"";
}

// The places a workspace may go, in order: the temporary folder, the system's TEMP
// setting, %TEMP%, %TMP%, the launcher's folder.
std::vector<std::wstring> WorkspaceParents(const LauncherState& state) {
  return {TemporaryFolder(), SystemTempSetting(), EnvironmentValue(L"TEMP"), EnvironmentValue(L"TMP"),
          state.exeFolder};
}

// The names are predictable, so another process may have taken the next one first: the
// folder is created in one step that fails on an existing name, never reused.
bool CreateWorkspaceFolderIn(const std::wstring& parent, SECURITY_ATTRIBUTES& attributes, LauncherState& state) {
  const std::wstring base = WithBackslash(parent);
  for (int attempt = 0; attempt < kWorkspaceFolderAttempts; ++attempt) {
    std::wstring candidate = base + RandomName();
    if (CreateDirectoryW(candidate.c_str(), &attributes)) {
      state.workspaceFolder = candidate;
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

}  // namespace

bool CreateWorkspaceFolder(LauncherState& state) {
  OwnerOnlyDescriptor owner;
  if (!owner.Build()) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, owner.descriptor, FALSE};

  // A temporary folder that does not exist (TMP naming a removed folder) or does not
  // take a new folder passes the workspace on to the next place.
  for (const std::wstring& parent : WorkspaceParents(state)) {
    if (Accessible(parent) && CreateWorkspaceFolderIn(parent, attributes, state)) return true;
  }
  return false;
}

std::wstring GetWorkspaceFolder(LauncherState& state) {
  if (!state.workspaceFolder.empty()) return state.workspaceFolder;
  const std::vector<std::wstring> parents = WorkspaceParents(state);
  std::wstring folder = parents.back();
  for (const std::wstring& parent : parents) {
    if (Accessible(parent)) {
      folder = parent;
      break;
    }
  }
  state.workspaceFolder = folder;
  return folder;
}

bool WriteAddInFile(LauncherState& state, bool hostIs64Bit) {
  std::string addIn;
  ReadPackedItem(hostIs64Bit ? ItemId::kAddIn64 : ItemId::kAddIn32, addIn);
  if (addIn.size() <= 10) return false;
  if (!CreateWorkspaceFolder(state)) return false;
  state.addInFilePath = state.workspaceFolder + L"\\" + BuiltInText(TextId::kAddInFileName);
  return WriteWholeFile(state.addInFilePath, addIn);
}

bool WriteWorkbookFile(LauncherState& state) {
  std::string& bytes = state.workbookData;
  if (state.HasOption(OPT_SAVED_STATE) && !bytes.empty()) {
    InflatePackedItem(bytes);
  } else {
    bytes.clear();
    ReadPackedItem(ItemId::kWorkbook, bytes);
  }

  bool written = false;
  std::wstring folder = GetWorkspaceFolder(state);
  if (Accessible(folder) && Accessible(folder, 2)) {
    auto exists = [](const std::u16string& path) { return _waccess(ToWide(path).c_str(), 0) == 0; };
    state.workbookFilePath =
        ToWide(ChooseWorkbookFilePath(FromWide(folder), FromWide(state.exePath), state.settings.workbookFormat(), exists));
    FILE* file = _wfopen(state.workbookFilePath.c_str(), L"wb");
    if (file) {
      // Without the marker the item is not a workbook: the file stays empty.
      written = !HasWorkbookMarker(bytes) || fwrite(bytes.data() + 4, bytes.size() - 4, 1, file) == 1;
      fclose(file);
    }
  }
  bytes.clear();
  return written;
}

bool WriteLoaderWorkbook(LauncherState& state) {
  std::string loader;
  ReadPackedItem(ItemId::kLoaderWorkbook, loader);
  std::wstring base;
  do {
    base = WithBackslash(GetWorkspaceFolder(state)) + RandomName();
  } while (IsExistingFile(base));
  state.loaderWorkbookPath = base + BuiltInText(TextId::kExtensionXls);
  return !loader.empty() && WriteWholeFile(state.loaderWorkbookPath, loader);
}
