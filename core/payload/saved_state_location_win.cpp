#include "core/payload/saved_state_location_win.h"

#include <shlobj.h>

#include <optional>
#include <string>

#include "core/payload/app_identity.h"
#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state.h"
#include "core/win/current_user_win.h"
#include "core/win/files_win.h"
#include "core/win/wide_win.h"

namespace {

// Upper case as the file system compares names: the invariant culture's mapping.
std::wstring UpperCased(const std::wstring& path) {
  if (path.empty()) return path;
  const int length = static_cast<int>(path.size());
  std::wstring upper(path.size(), L'\0');
  if (LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.data(), length, upper.data(), length) != length) return path;
  return upper;
}

// <local application data>\Sheetpack, created when missing; empty when Windows gives no
// such folder for this user.
std::wstring PerUserFolder() {
  PWSTR known = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) return std::wstring();
  std::wstring folder = std::wstring(known) + L"\\Sheetpack";
  CoTaskMemFree(known);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return std::wstring();
  return folder;
}

bool Trusted(const std::wstring& path, const CurrentUser& user) {
  return IsExistingFile(path) && user.Owns(path.c_str());
}

// The per-user state of an application with an identity. A state that an earlier build
// named after this executable's path is still found, and moved to the identity's name so
// that every later version, wherever it is and whatever it is called, finds it; when it
// cannot be moved it is read where it is.
bool PlaceByIdentity(const std::wstring& folder, const std::string& identity, const std::wstring& pathNamed,
                     const CurrentUser& user, SavedStatePlace& place) {
  place.writePath = folder + L"\\" + ToWide(IdentitySavedStateName(identity));
  if (Trusted(place.writePath, user)) {
    place.readPath = place.writePath;
    return true;
  }
  if (!Trusted(pathNamed, user)) return false;
  place.readPath = MoveFileExW(pathNamed.c_str(), place.writePath.c_str(), 0) ? place.writePath : pathNamed;
  return true;
}

}  // namespace

SavedStatePlace DecideSavedStatePlace(HMODULE module, const std::wstring& exePath) {
  std::string item;
  ReadPackedItem(module, ItemId::kSavedStateLocation, item);
  const std::wstring beside = ToWide(SavedStatePath(FromWide(exePath)));
  const std::wstring folder =
      ParseSavedStateLocation(item) == SavedStateLocation::kUser ? PerUserFolder() : std::wstring();
  const CurrentUser user;
  SavedStatePlace place;
  if (!folder.empty()) {
    const std::wstring pathNamed =
        folder + L"\\" + ToWide(PerUserSavedStateName(FromWide(exePath), FromWide(UpperCased(exePath))));
    std::string identityItem;
    ReadPackedItem(module, ItemId::kAppIdentity, identityItem);
    if (const std::optional<std::string> identity = ReadAppIdentityItem(identityItem)) {
      if (PlaceByIdentity(folder, *identity, pathNamed, user, place)) return place;
    } else {
      place.writePath = pathNamed;
      if (Trusted(place.writePath, user)) {
        place.readPath = place.writePath;
        return place;
      }
    }
  } else {
    place.writePath = beside;
  }
  // The file beside the executable is what states written before there was a per-user
  // one look like.
  if (Trusted(beside, user)) place.readPath = beside;
  return place;
}

std::wstring RecoveryStatePath(const std::wstring& statePath) {
  const std::wstring folder = PerUserFolder();
  if (folder.empty() || statePath.empty()) return std::wstring();
  std::wstring name = ToWide(PerUserSavedStateName(FromWide(statePath), FromWide(UpperCased(statePath))));
  name.insert(name.size() - 5, L".recovered");  // before ".vstg"
  return folder + L"\\" + name;
}
